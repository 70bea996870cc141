#include "controls/LuControls.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "controls/LuUtils.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/ScopeExit.h"

// ---------------------------------------------------------------------------
// Shared components and change links

TLuSharedComponent::~TLuSharedComponent() {
  for (TLuChangeLink* link : links_)
    link->sender_ = nullptr;
  links_.clear();
}

void TLuSharedComponent::InsertLink(TLuChangeLink* link) {
  if (link == nullptr)
    return;
  if (link->sender_ != nullptr)
    link->sender_->RemoveLink(link);
  link->sender_ = this;
  links_.push_back(link);
}

void TLuSharedComponent::RemoveLink(TLuChangeLink* link) {
  if (link == nullptr)
    return;
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end())
    return;
  link->sender_ = nullptr;
  links_.erase(it);
}

void TLuSharedComponent::NotifyLinks() {
  // A link's handler may remove links: walk a copy.
  const std::vector<TLuChangeLink*> links = links_;
  for (TLuChangeLink* link : links) {
    if (std::find(links_.begin(), links_.end(), link) != links_.end())
      link->Change();
  }
}

TLuChangeLink::~TLuChangeLink() {
  if (sender_ != nullptr)
    sender_->RemoveLink(this);
}

void TLuChangeLink::Change() {
  if (OnChange.Assigned())
    OnChange(sender_);
}

// ---------------------------------------------------------------------------
// Bevel

void TLuBevel::EndUpdate() {
  if (update_count_ > 0)
    --update_count_;
  Changed();
}

void TLuBevel::Changed() {
  if (update_count_ == 0 && OnChange.Assigned())
    OnChange(this);
}

void TLuBevel::StoreInt(int& field, int value) {
  if (field == value)
    return;
  field = value;
  Changed();
}

void TLuBevel::SetOuterWidth(int value) {
  StoreInt(outer_width_, std::max(1, value));
}
void TLuBevel::SetOuterSpace(int value) {
  StoreInt(outer_space_, std::max(0, value));
}
void TLuBevel::SetInnerWidth(int value) {
  StoreInt(inner_width_, std::max(1, value));
}
void TLuBevel::SetInnerSpace(int value) {
  StoreInt(inner_space_, std::max(0, value));
}

void TLuBevel::Assign(TPersistent* source) {
  TLuBevel* other = dynamic_cast<TLuBevel*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  BeginUpdate();
  SetBorderWidth(other->border_width_);
  SetBorderColor(other->border_color_);
  SetOuterOutline(other->outer_outline_);
  SetOuterStyle(other->outer_style_);
  SetOuterShadow(other->outer_shadow_);
  SetOuterHighlight(other->outer_highlight_);
  SetOuterWidth(other->outer_width_);
  SetOuterSpace(other->outer_space_);
  SetOuterColor(other->outer_color_);
  SetInnerOutline(other->inner_outline_);
  SetInnerStyle(other->inner_style_);
  SetInnerShadow(other->inner_shadow_);
  SetInnerHighlight(other->inner_highlight_);
  SetInnerWidth(other->inner_width_);
  SetInnerSpace(other->inner_space_);
  SetInnerColor(other->inner_color_);
  SetVisible(other->visible_);
  EndUpdate();
}

void TLuBevel::Paint(TCanvas* canvas, TRect& rect) const {
  if (!visible_)
    return;
  using LuUtils::Frame3D;
  auto styled = [&](TLuBevelStyle style, TColor highlight, TColor shadow, int width) {
    if (style == TLuBevelStyle::bsRaised)
      Frame3D(canvas, rect, highlight, shadow, width);
    if (style == TLuBevelStyle::bsLowered)
      Frame3D(canvas, rect, shadow, highlight, width);
  };
  if (border_width_ > 0)
    Frame3D(canvas, rect, border_color_, border_color_, border_width_);
  if (outer_outline_ == TLuBevelOutlineStyle::osOuter)
    Frame3D(canvas, rect, clBlack, clBlack, 1);
  styled(outer_style_, outer_highlight_, outer_shadow_, outer_width_);
  if (outer_outline_ == TLuBevelOutlineStyle::osInner)
    Frame3D(canvas, rect, clBlack, clBlack, 1);
  Frame3D(canvas, rect, outer_color_, outer_color_, outer_space_);
  if (inner_outline_ == TLuBevelOutlineStyle::osOuter)
    Frame3D(canvas, rect, clBlack, clBlack, 1);
  styled(inner_style_, inner_highlight_, inner_shadow_, inner_width_);
  if (inner_outline_ == TLuBevelOutlineStyle::osInner)
    Frame3D(canvas, rect, clBlack, clBlack, 1);
  Frame3D(canvas, rect, inner_color_, inner_color_, inner_space_);
}

// ---------------------------------------------------------------------------
// Bitmap lists

namespace {

constexpr uint8_t kBitmapsMagic[4] = {0x62, 0x54, 0x35, 0x00};
constexpr int64_t kBmpFileHeaderSize = 14;

[[noreturn]] void RaiseInvalidFormat() {
  throw EInvalidGraphic(kInvalidFileFormat);
}

uint32_t ReadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads exactly `count` bytes or raises the format error.
void ReadExact(TStream* stream, void* buffer, int64_t count) {
  if (stream->Size() - stream->Position() < count)
    RaiseInvalidFormat();
  if (stream->Read(buffer, count) != count)
    RaiseInvalidFormat();
}

}  // namespace

TLuBitmaps::~TLuBitmaps() {
  Clear();
}

int TLuBitmaps::Add(TBitmap* bitmap) {
  items_.push_back(bitmap);
  Changed();
  return Count() - 1;
}

TBitmap* TLuBitmaps::Items(int index) const {
  if (index < 0 || index >= Count())
    return nullptr;
  return items_[static_cast<size_t>(index)];
}

void TLuBitmaps::Clear() {
  if (items_.empty())
    return;
  for (TBitmap* b : items_)
    b->Free();
  items_.clear();
  Changed();
}

void TLuBitmaps::EndUpdate() {
  if (update_count_ > 0)
    --update_count_;
  Changed();
}

void TLuBitmaps::Changed() {
  if (update_count_ == 0 && OnChange.Assigned())
    OnChange(this);
}

void TLuBitmaps::LoadFromStream(TStream* stream) {
  uint8_t magic[4];
  ReadExact(stream, magic, 4);
  if (std::memcmp(magic, kBitmapsMagic, 4) != 0)
    RaiseInvalidFormat();
  uint8_t count_bytes[4];
  ReadExact(stream, count_bytes, 4);
  const uint32_t count = ReadLE32(count_bytes);
  // Nothing is sized from the count: each bitmap must be there before the
  // next is looked for, and a bad one leaves the list as it was.
  std::vector<std::unique_ptr<TBitmap, void (*)(TBitmap*)>> loaded;
  for (uint32_t i = 0; i < count; ++i) {
    const int64_t start = stream->Position();
    uint8_t header[kBmpFileHeaderSize];
    ReadExact(stream, header, kBmpFileHeaderSize);
    const uint32_t file_size = ReadLE32(header + 2);
    if (file_size < kBmpFileHeaderSize || file_size > stream->Size() - start)
      RaiseInvalidFormat();
    TMemoryStream* bytes = Create<TMemoryStream>();
    std::unique_ptr<TMemoryStream, void (*)(TMemoryStream*)> bytes_guard(
        bytes, [](TMemoryStream* s) { s->Free(); });
    bytes->SetSize(file_size);
    std::memcpy(bytes->Memory(), header, kBmpFileHeaderSize);
    ReadExact(stream, static_cast<uint8_t*>(bytes->Memory()) + kBmpFileHeaderSize,
              file_size - kBmpFileHeaderSize);
    bytes->SetPosition(0);
    loaded.emplace_back(Create<TBitmap>(), [](TBitmap* b) { b->Free(); });
    loaded.back()->LoadFromStream(bytes);
  }
  BeginUpdate();
  for (auto& b : loaded)
    items_.push_back(b.release());
  EndUpdate();
}

void TLuBitmaps::SaveToStream(TStream* stream) const {
  stream->Write(kBitmapsMagic, 4);
  const uint32_t count = static_cast<uint32_t>(items_.size());
  const uint8_t count_bytes[4] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                                  static_cast<uint8_t>(count >> 16),
                                  static_cast<uint8_t>(count >> 24)};
  stream->Write(count_bytes, 4);
  for (TBitmap* b : items_)
    b->SaveToStream(stream);
}

void TLuBitmaps::LoadFromFile(const std::string& fileName) {
  TFileStream* file = Create<TFileStream>(fileName, fmOpenRead);
  BeginUpdate();
  kestrune::ScopeExit cleanup([&] {
    file->Free();
    EndUpdate();
  });
  LoadFromStream(file);
}

void TLuBitmaps::SaveToFile(const std::string& fileName) const {
  SaveFileAtomically(fileName, [this](TStream* file) { SaveToStream(file); });
}

void TLuBitmaps::Assign(TPersistent* source) {
  TLuBitmaps* other = dynamic_cast<TLuBitmaps*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this)
    return;
  BeginUpdate();
  Clear();
  for (TBitmap* b : other->items_) {
    TBitmap* copy = Create<TBitmap>();
    copy->Assign(b);
    items_.push_back(copy);
  }
  EndUpdate();
}

void TLuBitmaps::DefineProperties(TFiler* filer) {
  filer->DefineProperty("Bitmaps", TMethod<void(TReader*)>(this, &TLuBitmaps::ReadData),
                        TMethod<void(TWriter*)>(this, &TLuBitmaps::WriteData), !items_.empty());
}

void TLuBitmaps::ReadData(TReader* reader) {
  TMemoryStream* stream = Create<TMemoryStream>();
  kestrune::ScopeExit freeStream([&] { stream->Free(); });
  if (!ReadHexText(reader->ReadString(), *stream))
    reader->ReadError(kInvalidFileFormat);
  Clear();
  LoadFromStream(stream);
}

void TLuBitmaps::WriteData(TWriter* writer) {
  TMemoryStream* stream = Create<TMemoryStream>();
  kestrune::ScopeExit freeStream([&] { stream->Free(); });
  SaveToStream(stream);
  writer->WriteString(HexTextOf(*stream));
}

TLuBitmapList::TLuBitmapList(TComponent* owner) : TLuSharedComponent(owner) {
  bitmaps_ = Create<TLuBitmaps>();
  bitmaps_->OnChange = TNotifyEvent(this, &TLuBitmapList::BitmapsChanged);
}

TLuBitmapList::~TLuBitmapList() {
  FreeAndNil(bitmaps_);
}

void TLuBitmapList::BitmapsChanged(TObject* sender) {
  (void)sender;
  NotifyLinks();
  if (OnChange.Assigned())
    OnChange(this);
}

void RegisterLuControlClasses() {
  RegisterClass<TLuBitmaps>();
  RegisterClass<TLuBitmapList>()
      .String("Version", &TLuBitmapList::Version, &TLuBitmapList::Version, "1.3")
      .Object("Bitmaps", &TLuBitmapList::Bitmaps)
      .Event("OnChange", &TLuBitmapList::OnChange, &TLuBitmapList::OnChange);
}
