#include "scope/TrelDisplayCollections.h"

#include "platform/classes/TypInfo.h"
#include "scope/TrelScope.h"

TTrelDisplayCollection::TTrelDisplayCollection(TTrelDataDisplay* display, TClass itemClass)
    : TVekExtCollection(display, itemClass), display_(display) {}

TTrelDisplayCollectionItem::TTrelDisplayCollectionItem(TCollection* collection)
    : TVekExtCollectionItem(collection) {
  auto* owner = dynamic_cast<TTrelDisplayCollection*>(collection);
  display_ = owner != nullptr ? owner->Display() : nullptr;
}

void TTrelDisplayCollectionItem::SetName(const std::string& name) {
  if (name == name_)
    return;
  name_ = name;
  Changed();
}

void TTrelDisplayCollectionItem::Changed() {
  if (display_ != nullptr)
    display_->Invalidate();
}

void TTrelOptionalDisplayCollectionItem::SetVisible(bool value) {
  if (value == visible_)
    return;
  visible_ = value;
  Changed();
}

void RegisterTrelDisplayCollectionClasses() {
  using I = TTrelDisplayCollectionItem;
  RegisterClass<I>().String("Name", &I::GetName, &I::SetName);
  using O = TTrelOptionalDisplayCollectionItem;
  RegisterClass<O>().Bool("Visible", &O::IsVisible, &O::SetVisible, true);
}
