#include <gtest/gtest.h>

#include "graph/GraphProps.h"

TEST(PointsCollection, SortedInsertionAndDuplicates) {
    CPointsCollection c(1, 0);
    EXPECT_EQ(c.AddPoint(5, 1, 1, 0), 0);
    EXPECT_EQ(c.AddPoint(3, 2, 1, 0), 0);
    EXPECT_EQ(c.AddPoint(4, 0, 1, 0), 1);
    EXPECT_EQ(c.GetPoint(0).x, 3);
    EXPECT_EQ(c.GetPoint(1).x, 4);
    EXPECT_EQ(c.GetPoint(2).x, 5);
    // Without duplicates the second point at x = 4 replaces the first.
    EXPECT_EQ(c.AddPoint(4, 9, 1, 0), 1);
    EXPECT_EQ(c.GetCount(), 3);
    EXPECT_EQ(c.GetPoint(1).y, 9);
    CPointsCollection d(1, 1);
    d.AddPoint(4, 1, 1, 0);
    d.AddPoint(4, 2, 1, 0);
    ASSERT_EQ(d.GetCount(), 2);
    EXPECT_EQ(d.GetPoint(0).y, 2);  // the newer one first
}

TEST(PointsCollection, BoundsWidenUntilRecomputed) {
    CPointsCollection c(1, 0);
    c.AddPoint(1, 10, 0, 0);
    c.AddPoint(2, 50, 0, 0);
    c.AddPoint(2, 20, 0, 0);  // replaces y = 50 without recomputing: the bound stays
    EXPECT_EQ(c.MaxY(), 50);
    c.RecalcBounds();
    EXPECT_EQ(c.MaxY(), 20);
    c.RemovePoint(1, 1);
    EXPECT_EQ(c.MaxX(), 1);
    c.RemovePoint(0, 1);
    EXPECT_EQ(c.MaxX(), 0.0);
    EXPECT_EQ(c.MinY(), 0.0);
    c.AddPoint(3, 3, 1, 0);
    c.RemoveAll();
    EXPECT_EQ(c.MaxY(), 0.0);
    EXPECT_EQ(c.GetCount(), 0);
}

TEST(PointsCollection, PositionsAreValidated) {
    CPointsCollection c(0, 0);
    c.AddPoint(1, 1, 1, 0);
    c.AddPoint(2, 2, 1, 0);
    EXPECT_EQ(c.InsertPoint(2, 9, 9, 1, 0), 2);  // at the count: appended
    EXPECT_EQ(c.InsertPoint(4, 9, 9, 1, 0), -1);
    EXPECT_EQ(c.InsertPoint(-1, 9, 9, 1, 0), -1);
    EXPECT_EQ(c.InsertPoint(1, 7, 7, 1, 0), 1);
    EXPECT_EQ(c.GetPoint(1).x, 7);
    EXPECT_EQ(c.SetPoint(4, 0, 0, 1, 0), -1);
    EXPECT_EQ(c.SetPoint(1, 8, 8, 1, 0), 1);  // unsorted: same place
    EXPECT_EQ(c.GetPoint(1).x, 8);
    c.RemovePoint(17, 1);
    EXPECT_EQ(c.GetCount(), 4);
}

TEST(PointsCollection, DrawingSummariesFollowChanges) {
    CPointsCollection c(1, 1);
    for (int i = 0; i < 300; ++i) c.AddPoint(i, i % 7, 1, 0);
    EXPECT_TRUE(c.IsXOrdered());
    ASSERT_EQ(c.Blocks().size(), 5u);
    EXPECT_EQ(c.Blocks()[1].maxY, 6);
    c.AddPoint(100.5, 1000, 1, 0);  // inserted in the middle
    EXPECT_EQ(c.Blocks()[1].maxY, 1000);
    CPointsCollection u(0, 0);
    u.AddPoint(2, 0, 1, 0);
    u.AddPoint(1, 0, 1, 0);
    EXPECT_FALSE(u.IsXOrdered());
    u.RemovePoint(0, 1);
    EXPECT_TRUE(u.IsXOrdered());
    u.AddPoint(std::nan(""), 0, 1, 0);
    EXPECT_FALSE(u.IsXOrdered());
}

TEST(GraphProps, CopiesCarryDisplayPropertiesOnly) {
    CGraphProps s(RGB(1, 2, 3), "Name", 0, 1, -1, 1, 0);
    s.AddPoint(1, 1, 1, 0);
    CGraphProps copy(s);
    EXPECT_EQ(copy.GetCount(), 0);
    EXPECT_EQ(copy.GetColor(), RGB(1, 2, 3));
    EXPECT_EQ(copy.GetTitle(), "Name");
    EXPECT_EQ(copy.IsShown(), 0);
    copy.SetColor(RGB(200, 0, 0));
    EXPECT_EQ(copy.GetPen().color(), QColor(200, 0, 0));
    CGraphProps borrowed(RGB(9, 9, 9), "x", 1, 0, 2, 1, 0);
    EXPECT_EQ(borrowed.GetBrush().color(), QColor(9, 9, 9));  // a fresh tool on every request
    s.CopyFrom(copy);
    EXPECT_EQ(s.GetColor(), RGB(200, 0, 0));
    EXPECT_EQ(s.GetCount(), 1);
}
