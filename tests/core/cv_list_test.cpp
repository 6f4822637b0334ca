#include "core/cv_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct Counts {
  int destroyed = 0;
  int released = 0;
  int notified = 0;
};

// A node that reports its destruction, release and notification, named for checks.
struct Node : CVListBase {
  Node(Counts* counts, int name, int32_t nodeId = -1, float key = 0.0f)
      : CVListBase(nodeId), counts(counts), name(name) {
    sortKey = key;
  }
  ~Node() override { ++counts->destroyed; }
  void Release() override { ++counts->released; }
  void Notify() override { ++counts->notified; }
  Counts* counts;
  int name;
};

class CVListTest : public ::testing::Test {
 protected:
  Node* Add(int name, int32_t nodeId = -1, float key = 0.0f) {
    auto* n = new Node(&counts, name, nodeId, key);
    list.Append(n);
    return n;
  }
  // Node names from head to tail, checking the back links on the way.
  std::vector<int> Names() const {
    std::vector<int> names;
    const CVListBase* prev = nullptr;
    for (const CVListBase* n = list.first; n != nullptr; n = n->next) {
      EXPECT_EQ(n->prev, prev);
      EXPECT_EQ(n->owner, &list);
      names.push_back(static_cast<const Node*>(n)->name);
      prev = n;
    }
    EXPECT_EQ(list.last, prev);
    EXPECT_EQ(static_cast<size_t>(list.count), names.size());
    return names;
  }

  Counts counts;
  CVList list;
};

TEST_F(CVListTest, GetAtFromBothEndsAndOutOfRange) {
  for (int i = 0; i < 5; ++i) Add(i, i % 2);
  for (int n = 0; n < 5; ++n) {  // 0,1 from the head; 2..4 from the tail (n >= 5 / 2)
    ASSERT_NE(list.GetAt(n), nullptr);
    EXPECT_EQ(static_cast<Node*>(list.GetAt(n))->name, n);
  }
  for (int n : {5, 6, 1000, -1, -5}) EXPECT_EQ(list.GetAt(n), nullptr) << n;
  // With an id, counting only the nodes with that id.
  EXPECT_EQ(static_cast<Node*>(list.GetAt(1, 1))->name, 3);
  EXPECT_EQ(static_cast<Node*>(list.GetAt(2, 0))->name, 4);
  EXPECT_EQ(list.GetAt(2, 1), nullptr);
  EXPECT_EQ(list.GetAt(-1, 1), nullptr);
  CVList empty;
  EXPECT_EQ(empty.GetAt(0), nullptr);
}

TEST_F(CVListTest, LookupsById) {
  Node* a = Add(0, 5);
  Node* b = Add(1, 7);
  Node* c = Add(2, 5);
  EXPECT_EQ(list.First(), a);
  EXPECT_EQ(list.First(7), b);
  EXPECT_EQ(list.First(9), nullptr);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Count(5), 2);
  EXPECT_EQ(a->Next(), b);
  EXPECT_EQ(a->Next(5), c);
  EXPECT_EQ(c->Prev(5), a);
  EXPECT_EQ(c->Prev(9), nullptr);
  EXPECT_EQ(c->IndexOf(), 2);
  EXPECT_EQ(c->IndexOf(5), 1);
  EXPECT_EQ(c->IndexOf(7), -1);  // not among the nodes with that id
  Node loose(&counts, 9);
  EXPECT_EQ(loose.IndexOf(), -1);
}

TEST_F(CVListTest, InsertBeforeHeadMiddleTailAndMovesBetweenLists) {
  Node* a = Add(1);
  Node* c = Add(3);
  auto* b = new Node(&counts, 2);
  list.InsertBefore(c, b);
  auto* z = new Node(&counts, 0);
  list.InsertBefore(a, z);
  auto* d = new Node(&counts, 4);
  list.InsertBefore(nullptr, d);
  EXPECT_EQ(Names(), (std::vector<int>{0, 1, 2, 3, 4}));

  CVList other;
  other.Append(b);  // unlinks it from the first list
  EXPECT_EQ(Names(), (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(b->owner, &other);
  EXPECT_EQ(other.count, 1);

  // An anchor from another list, or the node itself, is refused and changes nothing.
  testing::internal::CaptureStderr();
  list.InsertBefore(b, a);
  list.InsertBefore(a, a);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(Names(), (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(other.count, 1);

  // InsertBefore(null) on an empty list is an append.
  CVList third;
  third.InsertBefore(nullptr, a);
  EXPECT_EQ(third.first, a);
  EXPECT_EQ(third.last, a);
  EXPECT_EQ(third.count, 1);
}

TEST_F(CVListTest, RemoveEveryPositionAndDestructorUnlinks) {
  std::vector<Node*> nodes;
  for (int i = 0; i < 4; ++i) nodes.push_back(Add(i));
  list.Remove(nodes[1]);  // middle
  EXPECT_EQ(Names(), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(nodes[1]->owner, nullptr);
  list.Remove(nodes[0]);  // head
  list.Remove(nodes[3]);  // tail
  EXPECT_EQ(Names(), (std::vector<int>{2}));
  list.Remove(nodes[0]);  // not in this list: ignored
  EXPECT_EQ(list.count, 1);
  delete nodes[2];  // only node, unlinked by its destructor
  EXPECT_EQ(Names(), (std::vector<int>{}));
  EXPECT_EQ(list.first, nullptr);
  for (int i : {0, 1, 3}) delete nodes[i];
  EXPECT_EQ(counts.destroyed, 4);
}

TEST_F(CVListTest, DeleteAllKeepsAndReleasesKeepNodes) {
  Add(0);
  Node* kept = Add(1);
  kept->keep = 1;
  Add(2);
  list.DeleteAll(-1);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(counts.destroyed, 2);
  EXPECT_EQ(counts.released, 1);
  EXPECT_EQ(kept->owner, nullptr);
  delete kept;
}

// A node that deletes another node of its list when it goes.
struct OwningNode : Node {
  using Node::Node;
  ~OwningNode() override { delete partner; }
  CVListBase* partner = nullptr;
};

TEST_F(CVListTest, DeleteAllSurvivesDestructorDeletingNextNode) {
  auto* a = new OwningNode(&counts, 0);
  list.Append(a);
  a->partner = Add(1);
  Add(2);
  list.DeleteAll(-1);
  EXPECT_EQ(counts.destroyed, 3);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.first, nullptr);
}

TEST_F(CVListTest, DeleteAllByIdAlsoTakesAnyIdNodes) {
  Add(0, 5);
  Add(1, -1);
  Add(2, 7);
  Node* keep5 = Add(3, 5);
  keep5->keep = 1;
  Add(4, 7);
  list.DeleteAll(5);
  EXPECT_EQ(Names(), (std::vector<int>{2, 4}));
  EXPECT_EQ(counts.destroyed, 2);
  EXPECT_EQ(counts.released, 1);
  EXPECT_EQ(keep5->owner, nullptr);
  delete keep5;
}

TEST_F(CVListTest, ListDestructorDeletesNodesAndNotifyReachesAll) {
  {
    CVList local;
    for (int i = 0; i < 3; ++i) local.Append(new Node(&counts, i));
    local.NotifyAll();
    EXPECT_EQ(counts.notified, 3);
  }
  EXPECT_EQ(counts.destroyed, 3);
}

struct SortCase {
  std::vector<float> keys;
  std::vector<int> expected;  // node names (their input positions) after sorting
};

void PrintTo(const SortCase& c, std::ostream* os) {
  *os << "keys";
  for (float k : c.keys) *os << ' ' << k;
}

class CVListSortTest : public CVListTest, public ::testing::WithParamInterface<SortCase> {};

TEST_P(CVListSortTest, StableAscendingByKey) {
  const SortCase& c = GetParam();
  for (size_t i = 0; i < c.keys.size(); ++i) Add(static_cast<int>(i), -1, c.keys[i]);
  list.Sort();
  EXPECT_EQ(Names(), c.expected);
}

const float kNaN = std::nanf("");

INSTANTIATE_TEST_SUITE_P(Keys, CVListSortTest,
                         ::testing::Values(SortCase{{3, 1, 2, 1}, {1, 3, 2, 0}},  // 1, 1, 2, 3; the 1s keep their order
                                           SortCase{{}, {}}, SortCase{{4}, {0}},
                                           SortCase{{5, 4, 3, 2, 1}, {4, 3, 2, 1, 0}},
                                           SortCase{{1, 2, 3, 4}, {0, 1, 2, 3}}, SortCase{{2, 2, 2}, {0, 1, 2}},
                                           SortCase{{-1.5f, 0, -3, 0, -1.5f}, {2, 0, 4, 1, 3}},
                                           // A key unordered against the pivot (NaN) is moved in front of it like a
                                           // smaller one: 2 pivots NaN and 1 before it; then NaN pivots 1 before it.
                                           SortCase{{2, kNaN, 1}, {2, 1, 0}}));

}  // namespace
