#include "controls/GDIPPicture.h"

#include <new>

#include "controls/GdipObjects.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The bytes as a stream of their own for the decoder (the stand-in for a
// stream on global memory, freed with it).
TMemoryStream* DecodingCopy(TMemoryStream* data) {
  TMemoryStream* copy = nullptr;
  try {
    copy = Create<TMemoryStream>();
    copy->SetSize(data->Size());
  } catch (const std::bad_alloc&) {
    FreeObject(copy);
    throw EGDIPPictureError("Could not allocate memory for image");
  }
  if (data->Size() > 0)
    std::memcpy(copy->Memory(), data->Memory(), static_cast<size_t>(data->Size()));
  copy->SetPosition(0);
  return copy;
}

}  // namespace

TGDIPPicture::TGDIPPicture() {
  data_ = Create<TMemoryStream>();
}

TGDIPPicture::~TGDIPPicture() {
  FreeAndNil(data_);
}

void TGDIPPicture::FireClear() {
  if (OnClear.Assigned())
    OnClear(this);
}

void TGDIPPicture::UpdateSize() {
  if (empty_ || data_->Size() == 0)
    return;
  TMemoryStream* copy = DecodingCopy(data_);
  {
    TGPImage image(copy);
    width_ = static_cast<int>(image.GetWidth());
    height_ = static_cast<int>(image.GetHeight());
  }
  copy->Free();
}

void TGDIPPicture::Assign(TPersistent* source) {
  if (source == nullptr) {
    data_->Clear();
    empty_ = true;
    Changed();
    FireClear();
    return;
  }
  if (source == this)
    return;  // its own bytes: nothing to copy, and it stays as it is
  empty_ = true;
  if (auto* other = dynamic_cast<TGDIPPicture*>(source)) {
    data_->Clear();
    data_->Write(other->data_->Memory(), other->data_->Size());
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    data_->Clear();
    bitmap->SaveToStream(data_);
  } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
    data_->Clear();
    if (picture->Graphic() != nullptr)
      picture->Graphic()->SaveToStream(data_);
  } else {
    return;
  }
  empty_ = false;
  Changed();
  UpdateSize();
}

void TGDIPPicture::LoadFromStream(TStream* stream) {
  if (stream == nullptr)
    return;
  data_->Clear();
  data_->LoadFromStream(stream);
  empty_ = false;
  UpdateSize();
  Changed();
}

void TGDIPPicture::SaveToStream(TStream* stream) {
  if (stream == nullptr)
    return;
  if (data_->Size() > 0)
    stream->WriteBuffer(data_->Memory(), data_->Size());
}

void TGDIPPicture::LoadFromFile(const std::string& fileName) {
  try {
    TMemoryStream* bytes = Create<TMemoryStream>();
    try {
      bytes->LoadFromFile(fileName);
    } catch (...) {
      bytes->Free();
      throw;
    }
    data_->Free();
    data_ = bytes;
    empty_ = false;
    FireClear();
    UpdateSize();
    Changed();
  } catch (const Exception&) {
    // A missing or unreadable file changes nothing visible.
  }
}

void TGDIPPicture::ReadData(TStream* stream) {
  data_->Clear();
  data_->LoadFromStream(stream);
  empty_ = false;
}

void TGDIPPicture::Draw(TCanvas* canvas, const TRect& rect) {
  if (canvas == nullptr || empty_ || data_->Size() == 0)
    return;
  TMemoryStream* copy = DecodingCopy(data_);
  TGPImage* image = Create<TGPImage>(copy);
  TGPGraphics* graphics = Create<TGPGraphics>(canvas);
  kestrune::ScopeExit freeAll([&] {
    graphics->Free();
    image->Free();
    copy->Free();
  });
  if (image->GetImageFormat() != 2) {
    width_ = static_cast<int>(image->GetWidth());
    height_ = static_cast<int>(image->GetHeight());
    graphics->DrawImage(image, rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
  } else {
    data_->SetPosition(0);
    TBitmap* bitmap = Create<TBitmap>();
    kestrune::ScopeExit freeBitmap([&] { bitmap->Free(); });
    bitmap->LoadFromStream(data_);
    bitmap->SetTransparentMode(tmAuto);
    bitmap->SetTransparent(true);
    canvas->Draw(rect.Left, rect.Top, bitmap);
  }
}

// ---------------------------------------------------------------------------

TStyHintInfo::TStyHintInfo() {
  picture_ = Create<TGDIPPicture>();
}

TStyHintInfo::~TStyHintInfo() {
  FreeAndNil(picture_);
}

void TStyHintInfo::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TStyHintInfo*>(source);
  if (other == nullptr || other == this)
    return;
  Title = other->Title;
  Notes = other->Notes;
  ShowHelp = other->ShowHelp;
  picture_->Assign(other->picture_);
  WideTitle = other->WideTitle;
  WideNotes = other->WideNotes;
}

// ---------------------------------------------------------------------------

void GradientFill(TCanvas* canvas, TColor fromColor, TColor toColor, TFillDirection direction,
                  const TRect& rect, int steps) {
  const COLORREF from = ColorToRGB(fromColor);
  const COLORREF to = ColorToRGB(toColor);
  if (steps == 0)
    steps = 1;
  const double dr = (static_cast<double>(GetRValue(to)) - GetRValue(from)) / steps;
  const double dg = (static_cast<double>(GetGValue(to)) - GetGValue(from)) / steps;
  const double db = (static_cast<double>(GetBValue(to)) - GetBValue(from)) / steps;
  const bool horizontal = direction == TFillDirection::gdHorizontal;
  const double band = static_cast<double>(horizontal ? rect.Width() : rect.Height()) / steps;
  for (int i = 0; i < steps; ++i) {
    const int r = GetRValue(from) + static_cast<int>(Round(i * dr));
    const int g = GetGValue(from) + static_cast<int>(Round(i * dg));
    const int b = GetBValue(from) + static_cast<int>(Round(i * db));
    const TColor color = static_cast<TColor>(
        RGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)));
    canvas->Pen()->SetColor(color);
    canvas->Brush()->SetColor(color);
    canvas->Brush()->SetStyle(bsSolid);
    const int start = static_cast<int>(Round(i * band));
    const int end = start + static_cast<int>(Round(band)) + 1;
    if (horizontal) {
      canvas->FillRect(TRect{rect.Left + start, rect.Top, rect.Left + end, rect.Bottom});
    } else {
      canvas->FillRect(TRect{rect.Left, rect.Top + start, rect.Right, rect.Top + end});
    }
  }
}

void RegisterGDIPPictureClasses() {
  RegisterClass<TGDIPPicture>().Event("OnClear", &TGDIPPicture::OnClear, &TGDIPPicture::OnClear);
  RegisterClass<TStyHintInfo>()
      .Object("Picture", &TStyHintInfo::Picture)
      .Bool("ShowHelp", &TStyHintInfo::ShowHelp, &TStyHintInfo::ShowHelp, false)
      .String("Title", &TStyHintInfo::Title, &TStyHintInfo::Title);
}
