#include <gtest/gtest.h>

#include "combolist/ListStore.h"

namespace trx {
namespace {

TEST(ListStore, KeysAreExactAndKeepInsertionOrder) {
    ListStore<int> store;
    store.Set(u"Kunden", 1);
    store.Set(u"kunden", 2);
    store.Set(u"", 3);
    store.Set(u"Artikel", 4);
    store.Set(u"Kunden", 5);  // a known key keeps its place
    EXPECT_EQ(store.Count(), 4u);
    EXPECT_EQ(store.Keys(), (std::vector<std::u16string>{u"Kunden", u"kunden", u"", u"Artikel"}));
    EXPECT_EQ(store.Items(), (std::vector<int>{5, 2, 3, 4}));
    EXPECT_EQ(store.KeyAt(3), u"Artikel");
    EXPECT_TRUE(store.Exists(u""));
    EXPECT_FALSE(store.Exists(u"KUNDEN"));
    ASSERT_NE(store.Find(u"kunden"), nullptr);
    EXPECT_EQ(*store.Find(u"kunden"), 2);
    EXPECT_EQ(store.Find(u"Kunden "), nullptr);
}

TEST(ListStore, SnapshotsDoNotFollowLaterAdditions) {
    ListStore<int> store;
    store.Set(u"a", 1);
    const auto items = store.Items();
    const auto keys = store.Keys();
    store.Set(u"b", 2);
    EXPECT_EQ(items.size(), 1u);
    EXPECT_EQ(keys.size(), 1u);
    EXPECT_EQ(store.Count(), 2u);
}

}  // namespace
}  // namespace trx
