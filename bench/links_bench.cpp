// The page-address functions (recognise + extract + build) against a baseline of one memcmp and
// one string append, on accepted and rejected inputs.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "site_values.h"
#include "video_links.h"

namespace {

const std::u16string kAccepted =
    std::u16string(u"http://www.") + std::u16string(kavo::SiteTwoDomain) + u"/play:k3x9q2w7";
const std::u16string kRejected =
    std::u16string(u"http://www.") + std::u16string(kavo::SiteTwoDomain) + u"/play:k3x9q2w7 ";

void AddressFunctions(benchmark::State& state, const std::u16string& text) {
    for (auto _ : state) {
        std::u16string link;
        if (kavo::IsVideoPageLink(text)) {
            link = kavo::BuildMediaLink(kavo::SiteTwoMediaHost, kavo::VideoIdOf(text));
        }
        benchmark::DoNotOptimize(link);
    }
}

void Baseline(benchmark::State& state, const std::u16string& text) {
    const std::u16string prefix = text.substr(0, 20);
    for (auto _ : state) {
        std::u16string link;
        if (std::memcmp(text.data(), prefix.data(), prefix.size() * sizeof(char16_t)) == 0) {
            link.append(text);
        }
        benchmark::DoNotOptimize(link);
    }
}

BENCHMARK_CAPTURE(AddressFunctions, accepted, kAccepted);
BENCHMARK_CAPTURE(Baseline, accepted, kAccepted);
BENCHMARK_CAPTURE(AddressFunctions, rejected, kRejected);
BENCHMARK_CAPTURE(Baseline, rejected, kRejected);

}  // namespace

BENCHMARK_MAIN();
