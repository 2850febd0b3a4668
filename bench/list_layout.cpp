// A list that grows as the scan and detect pages grow theirs: an item added at the end, then grown
// to its height over a few frames, the list scrolled to its end after every frame. Each frame
// lays out what changed, so the time per item stays the same however long the list is.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIHorizontalLayout.h"
#include "DuiLib/UILabel.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIVerticalLayout.h"

namespace {

using namespace DuiLib;

constexpr int kRowsPerItem = 6;
constexpr int kGrowthFrames = 5;

// An item like a scan item: a title and rows of a label and a value.
CControlUI* MakeItem(int n) {
  auto* item = new CVerticalLayoutUI;
  item->SetFixedHeight(40);
  auto* title = new CLabelUI;
  title->SetFixedHeight(40);
  title->SetText(u"Item " + std::u16string(static_cast<size_t>(n % 9 + 1), u'x'));
  item->Add(title);
  for (int r = 0; r < kRowsPerItem; ++r) {
    auto* row = new CHorizontalLayoutUI;
    row->SetFixedHeight(24);
    for (const char16_t* text : {u"Model", u"A value of some length"}) {
      auto* label = new CLabelUI;
      label->SetAutoCalcWidth(true);
      label->SetText(text);
      row->Add(label);
    }
    item->Add(row);
  }
  return item;
}

void BM_GrowingList(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<CPaintManagerUI>();
    CDialogBuilder builder;
    window->AttachDialog(builder.Create(uR"(<Window size="720,560"><List name="list" childpadding="4"/></Window>)", {}, nullptr, window.get()));
    auto* list = static_cast<CListUI*>(window->FindControl(u"list"));
    state.ResumeTiming();
    for (int n = 0; n < items; ++n) {
      CControlUI* item = MakeItem(n);
      list->Add(item);
      for (int frame = 1; frame <= kGrowthFrames; ++frame) {
        item->SetFixedHeight(40 + kRowsPerItem * 24 * frame / kGrowthFrames);
        list->EndDown();
      }
    }
    benchmark::DoNotOptimize(list->GetScrollPos());
    state.PauseTiming();  // the window and its controls go outside the time
    window.reset();
    state.ResumeTiming();
  }
  state.counters["per_item_us"] = benchmark::Counter(static_cast<double>(items) * 1e-6,
                                                     benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GrowingList)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
