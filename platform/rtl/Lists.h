// The runtime's lists.
//
// TList: an ordered list of untyped pointers with index checks, sort by a
// compare function and a Notify hook that descendants use to own their items.
// TObjectList: a TList of objects that frees removed items when it owns them.
// TThreadList: a TList behind a re-entrant lock (LockList/UnlockList).
// TInterfaceList: a thread-safe list of counted interface references.
// TStringList: strings with an associated object each; look-ups ignore case.
//
// Threads: TList, TObjectList and TStringList are not thread-safe; TThreadList
// and TInterfaceList lock every operation.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// Raises EListError "Indice de liste hors limites (<index>)".
[[noreturn]] void RaiseListIndexError(int index);

using TListSortCompare = int (*)(void* item1, void* item2);

class TList : public TObject {
  KESTRUNE_CLASS(TList, TObject)
  TList() = default;
  ~TList() override;
  // Deletes every item while the most derived class still runs, so that an
  // owning descendant frees its items.
  void BeforeDestruction() override;

  int Count() const { return static_cast<int>(items_.size()); }
  // Growing fills with nullptr; shrinking deletes the dropped items (Notify).
  void SetCount(int count);
  int Capacity() const { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int capacity);

  void* Get(int index) const;
  void Put(int index, void* item);
  void* operator[](int index) const { return Get(index); }
  void* First() const { return Get(0); }
  void* Last() const { return Get(Count() - 1); }

  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  // Removes the first occurrence; returns its former index or -1.
  int Remove(void* item);
  // Removes the first occurrence without the delete notification.
  void* Extract(void* item);
  int IndexOf(const void* item) const;
  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  void Clear();
  // Removes every nullptr item.
  void Pack();
  // Stable only where the compare function makes it so (quick sort).
  void Sort(TListSortCompare compare);

  const std::vector<void*>& List() const { return items_; }

 protected:
  virtual void Notify(void* item, TListNotification action);

 private:
  std::vector<void*> items_;
};

class TObjectList : public TList {
  KESTRUNE_CLASS(TObjectList, TList)
  explicit TObjectList(bool ownsObjects = true) : owns_objects_(ownsObjects) {}
  bool OwnsObjects() const { return owns_objects_; }
  void SetOwnsObjects(bool owns) { owns_objects_ = owns; }
  TObject* GetItem(int index) const { return static_cast<TObject*>(Get(index)); }
  int Add(TObject* obj) { return TList::Add(obj); }
  int IndexOf(const TObject* obj) const { return TList::IndexOf(obj); }

 protected:
  void Notify(void* item, TListNotification action) override;

 private:
  bool owns_objects_;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TThreadList : public TObject {
  KESTRUNE_CLASS(TThreadList, TObject)
  TThreadList();
  ~TThreadList() override;
  // Takes the list's lock and returns the list; UnlockList releases it.
  TList* LockList();
  void UnlockList();
  void Add(void* item);  // duplicates per Duplicates (default dupIgnore)
  void Remove(void* item);
  void Clear();
  TDuplicates Duplicates = dupIgnore;

 private:
  std::recursive_mutex lock_;
  TList* list_;
};

class TInterfaceList : public TObject {
  KESTRUNE_CLASS(TInterfaceList, TObject)
  TInterfaceList() = default;
  ~TInterfaceList() override = default;
  int Count() const;
  IPtr<IInterface> Get(int index) const;
  void Put(int index, const IPtr<IInterface>& item);
  int Add(const IPtr<IInterface>& item);
  void Insert(int index, const IPtr<IInterface>& item);
  void Delete(int index);
  int Remove(IInterface* item);
  int IndexOf(const IInterface* item) const;
  void Clear();
  // Holds the list's lock across several operations.
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }

 private:
  mutable std::recursive_mutex lock_;
  std::vector<IPtr<IInterface>> items_;
};

class TStringList : public TObject {
  KESTRUNE_CLASS(TStringList, TObject)
  TStringList() = default;
  ~TStringList() override;
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const;
  void SetString(int index, std::string s);
  TObject* Objects(int index) const;
  void SetObject(int index, TObject* obj);
  int Add(std::string s) { return AddObject(std::move(s), nullptr); }
  int AddObject(std::string s, TObject* obj);
  void Insert(int index, std::string s, TObject* obj = nullptr);
  void Delete(int index);
  void Clear();
  // Case-insensitive; -1 when absent.
  int IndexOf(std::string_view s) const;
  int IndexOfObject(const TObject* obj) const;
  // When true, deleting an item (or freeing the list) frees its object.
  bool OwnsObjects = false;

 private:
  struct Item {
    std::string text;
    TObject* object;
  };
  void CheckIndex(int index) const;
  std::vector<Item> items_;
};
