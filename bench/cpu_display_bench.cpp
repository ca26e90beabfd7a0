// SPDX-License-Identifier: MIT
// The cost of one fnVoIsCPU and one fnGetSVID call on top of the platform calls they make:
// both are answered afresh on every call, so a host that polls them pays this each time.
#include <benchmark/benchmark.h>

#include "fake/fake_platform.h"
#include "quoril.h"

namespace {

void BM_BrandTest(benchmark::State& state) {
  quoril::fake::ResetFakeSystem();
  quoril::fake::SetCpuBrand("       Intel(R) Core(TM) i7-3770 CPU @ 3.40GHz");
  for (auto _ : state) {
    benchmark::DoNotOptimize(fnVoIsCPU("i7-3770"));
    // The scripted machine records every call; keep that record from growing.
    quoril::fake::FakeSystem().debugOutput.clear();
    quoril::fake::FakeSystem().cpu.queried.clear();
  }
}
BENCHMARK(BM_BrandTest);

void BM_SubsystemVendor(benchmark::State& state) {
  quoril::fake::ResetFakeSystem();
  quoril::fake::FakeSystem().displayAdapterIds = {"PCI\\VEN_10DE&DEV_1C82&SUBSYS_0123ABCD&REV_A1"};
  char out[QUORIL_VENDOR_BYTES];
  for (auto _ : state) {
    benchmark::DoNotOptimize(fnGetSVID(0, out));
    quoril::fake::FakeSystem().displayCalls.clear();
  }
}
BENCHMARK(BM_SubsystemVendor);

}  // namespace
