#include "core/cv_list.h"

#include "platform/text/log.h"

CVListBase::~CVListBase() {
  if (owner != nullptr) owner->Remove(this);
}

CVListBase* CVListBase::Next(int32_t wantId) const {
  CVListBase* n = next;
  if (wantId != -1) {
    while (n != nullptr && n->id != wantId) n = n->next;
  }
  return n;
}

CVListBase* CVListBase::Prev(int32_t wantId) const {
  CVListBase* n = prev;
  if (wantId != -1) {
    while (n != nullptr && n->id != wantId) n = n->prev;
  }
  return n;
}

int32_t CVListBase::IndexOf(int32_t wantId) const {
  if (owner == nullptr) return -1;
  int32_t index = 0;
  for (const CVListBase* n = owner->first; n != nullptr; n = n->next) {
    if (wantId != -1 && n->id != wantId) continue;
    if (n == this) return index;
    ++index;
  }
  return -1;
}

CVList::~CVList() { DeleteAll(-1); }

void CVList::NotifyAll() {
  for (CVListBase* n = first; n != nullptr; n = n->next) n->Notify();
}

void CVList::Reset() {
  first = nullptr;
  last = nullptr;
  count = 0;
}

CVListBase* CVList::First(int32_t wantId) const {
  CVListBase* n = first;
  if (wantId != -1) {
    while (n != nullptr && n->id != wantId) n = n->next;
  }
  return n;
}

int32_t CVList::Count(int32_t wantId) const {
  if (wantId == -1) return count;
  int32_t c = 0;
  for (const CVListBase* n = first; n != nullptr; n = n->next) {
    if (n->id == wantId) ++c;
  }
  return c;
}

CVListBase* CVList::GetAt(int32_t n, int32_t wantId) const {
  if (n < 0) return nullptr;
  if (wantId != -1) {
    for (CVListBase* node = first; node != nullptr; node = node->next) {
      if (node->id != wantId) continue;
      if (n-- == 0) return node;
    }
    return nullptr;
  }
  if (n >= count) return nullptr;
  CVListBase* node;
  if (n >= count / 2) {
    node = last;
    for (int32_t steps = count - n - 1; steps > 0 && node != nullptr; --steps) node = node->prev;
  } else {
    node = first;
    for (int32_t steps = n; steps > 0 && node != nullptr; --steps) node = node->next;
  }
  return node;
}

void CVList::Unlink(CVListBase* node) {
  if (node->prev != nullptr) {
    node->prev->next = node->next;
  } else {
    first = node->next;
  }
  if (node->next != nullptr) {
    node->next->prev = node->prev;
  } else {
    last = node->prev;
  }
  node->owner = nullptr;
  --count;
}

void CVList::Append(CVListBase* node) {
  if (node == nullptr) return;
  if (node->owner != nullptr) node->owner->Remove(node);
  node->owner = this;
  node->prev = last;
  node->next = nullptr;
  if (last != nullptr) {
    last->next = node;
  } else {
    first = node;
  }
  last = node;
  ++count;
}

void CVList::InsertBefore(CVListBase* before, CVListBase* node) {
  if (node == nullptr) return;
  if (before == nullptr) {
    Append(node);
    return;
  }
  if (before->owner != this || before == node) {
    plat::Log("list", "insert refused: the anchor node is not in this list");
    return;
  }
  if (node->owner != nullptr) node->owner->Remove(node);
  node->owner = this;
  node->next = before;
  node->prev = before->prev;
  if (before->prev != nullptr) {
    before->prev->next = node;
  } else {
    first = node;
  }
  before->prev = node;
  ++count;
}

void CVList::Remove(CVListBase* node) {
  if (node == nullptr || node->owner != this) return;
  Unlink(node);
}

void CVList::DeleteAll(int32_t wantId) {
  if (wantId == -1) {
    // Every node goes: take the head each time, so a destructor that deletes a sibling (which
    // unlinks itself) cannot leave a dangling pointer behind.
    while (first != nullptr) {
      CVListBase* node = first;
      Unlink(node);
      if (node->keep) {
        node->Release();
      } else {
        delete node;
      }
    }
    Reset();
    return;
  }
  CVListBase* node = first;
  while (node != nullptr) {
    CVListBase* following = node->next;
    if (node->id == wantId || node->id == -1) {
      Unlink(node);
      if (node->keep) {
        node->Release();
      } else {
        delete node;
      }
    }
    node = following;
  }
}

void CVList::Sort() { SortRange(0, count - 1); }

void CVList::SortRange(int32_t lo, int32_t hi) {
  while (lo < hi) {
    const int32_t p = Partition(lo, hi);
    SortRange(lo, p - 1);
    lo = p + 1;
  }
}

int32_t CVList::Partition(int32_t lo, int32_t hi) {
  CVListBase* pivot = GetAt(lo);
  if (pivot == nullptr) return lo;
  int32_t smaller = 0;
  CVListBase* node = pivot->next;
  for (int32_t i = 0; i < hi - lo && node != nullptr; ++i) {
    CVListBase* following = node->next;
    // "Not greater or equal" also moves keys that are unordered against the pivot (NaN).
    if (!(node->sortKey >= pivot->sortKey)) {
      InsertBefore(pivot, node);
      ++smaller;
    }
    node = following;
  }
  return lo + smaller;
}
