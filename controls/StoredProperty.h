// One macro for the controls' plain properties: a getter and a setter that
// stores a value differing from the stored one and then runs `notify` (the
// owner's Changed, Invalidate, ...).
#pragma once

#define KESTRUNE_STORED_PROPERTY(Type, Name, field, notify) \
  Type Name() const {                                       \
    return field;                                           \
  }                                                         \
  void Set##Name(Type value) {                              \
    if (field == value)                                     \
      return;                                               \
    field = value;                                          \
    notify();                                               \
  }
