// Intrusive doubly linked list: CVList owns the CVListBase nodes it holds and deletes them
// through their virtual destructor. Used on the frame thread only.
#pragma once
#include <cstdint>

class CVList;

class CVListBase {
 public:
  explicit CVListBase(int32_t id = -1) : id(id) {}
  // Unlinks itself from its list.
  virtual ~CVListBase();
  // Frees owned resources of a keep node when its list is deleted; empty here.
  virtual void Release() {}
  // Called for every node by CVList::NotifyAll; empty here.
  virtual void Notify() {}

  CVListBase(const CVListBase&) = delete;
  CVListBase& operator=(const CVListBase&) = delete;

  // The neighbour; with an id other than -1 the nearest node that way with that id (null if none).
  CVListBase* Next(int32_t id = -1) const;
  CVListBase* Prev(int32_t id = -1) const;
  // Position among the owner's nodes with that id (all nodes for -1), from 0; -1 when not found
  // or not in a list.
  int32_t IndexOf(int32_t id = -1) const;

  CVList* owner = nullptr;
  CVListBase* prev = nullptr;
  CVListBase* next = nullptr;
  int32_t keep = 0;      // non-zero: CVList::DeleteAll detaches and releases instead of deleting
  int32_t id = -1;       // -1 as a lookup argument matches every node
  float sortKey = 0.0f;  // ascending key of CVList::Sort
  int32_t userWord = 0;
};

class CVList {
 public:
  CVList() = default;
  // Deletes every node as DeleteAll(-1).
  virtual ~CVList();
  // Notify on every node from head to tail.
  virtual void NotifyAll();

  CVList(const CVList&) = delete;
  CVList& operator=(const CVList&) = delete;

  // Forgets all nodes without touching them.
  void Reset();
  CVListBase* First(int32_t id = -1) const;
  int32_t Count(int32_t id = -1) const;
  // The n-th node from 0 (only nodes with that id when id != -1); null when n < 0 or past the end.
  CVListBase* GetAt(int32_t n, int32_t id = -1) const;
  // Unlinks the node from any list, then links it at the tail.
  void Append(CVListBase* node);
  // Unlinks the node from any list, then links it before `before` (at the tail when null).
  // Refused (logged) when `before` is not in this list or is the node itself.
  void InsertBefore(CVListBase* before, CVListBase* node);
  // Unlinks the node; its own prev/next are left as they were. Ignored when not in this list.
  void Remove(CVListBase* node);
  // id -1: keep nodes are unlinked and released, others deleted, the list ends empty.
  // Other ids: nodes with that id and nodes whose id is -1 are handled the same way; others stay.
  // With an id, a node's destructor must not delete other nodes of the same list.
  void DeleteAll(int32_t id = -1);
  // Stable ascending sort by sortKey; moves nodes, not values.
  void Sort();
  void SortRange(int32_t lo, int32_t hi);
  int32_t Partition(int32_t lo, int32_t hi);

  CVListBase* first = nullptr;
  CVListBase* last = nullptr;
  int32_t count = 0;

 private:
  void Unlink(CVListBase* node);
};
