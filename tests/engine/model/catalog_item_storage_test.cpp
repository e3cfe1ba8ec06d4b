// Items made and freed from several threads at once, plain and Eye-Fi ones, keep their own
// places: a slot handed out twice or a free list broken by a race would show as a name changed
// under another item.
#include "engine/model/catalog_item_storage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/catalog_item.h"

namespace plb {
namespace {

std::string Name(int thread, int round, int i) {
  char name[48];
  std::snprintf(name, sizeof name, "t%d-%d-%d", thread, round, i);
  return name;
}

void Churn(int thread, std::vector<std::unique_ptr<TCatalogItem>>& kept) {
  std::vector<std::unique_ptr<TCatalogItem>> items;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 20000; ++i) {
      auto item = i % 7 == 0 ? std::unique_ptr<TCatalogItem>(new TEyeFiCatalogItem)
                             : std::make_unique<TCatalogItem>();
      item->SetFileNameRaw(Name(thread, round, i));
      items.push_back(std::move(item));
    }
    for (size_t i = 0; i < items.size(); i += 2) items[i].reset();  // every other place freed
  }
  for (auto& item : items)
    if (item) kept.push_back(std::move(item));
}

TEST(CatalogItemStorage, ItemsFromManyThreadsKeepTheirOwnPlaces) {
  std::vector<std::unique_ptr<TCatalogItem>> kept[2];
  std::thread a(Churn, 0, std::ref(kept[0])), b(Churn, 1, std::ref(kept[1]));
  a.join();
  b.join();
  for (int thread = 0; thread < 2; ++thread) {
    ASSERT_EQ(kept[thread].size(), 30000u);
    size_t at = 0;
    for (int round = 0; round < 3; ++round)
      for (int i = 1; i < 20000; i += 2, ++at) {
        const auto& item = kept[thread][at];
        ASSERT_EQ(item->FileName(), Name(thread, round, i));
        EXPECT_EQ(item->ItemClass(), i % 7 == 0 ? 1 : 0);
      }
  }
}

}  // namespace
}  // namespace plb
