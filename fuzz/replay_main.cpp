// Drives a fuzz target without libFuzzer (g++ builds): runs it on every file
// of the seed folders, then on mutations of those seeds drawn from a fixed
// random sequence until the time limit. Usage:
//   replay --seconds=N FOLDER...
#include "fuzz_target.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Run(const Bytes& input) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

// One small change of the kinds that matter to text parsers: a byte changed,
// inserted or removed, a line break or "=" inserted, a piece repeated, or the
// input cut short.
Bytes Mutate(Bytes input, std::mt19937& random) {
    auto pick = [&](size_t limit) {
        return limit == 0 ? 0 : std::uniform_int_distribution<size_t>(0, limit - 1)(random);
    };
    const size_t at = pick(input.size() + 1);
    switch (pick(7)) {
    case 0:
        if (!input.empty()) input[pick(input.size())] = static_cast<uint8_t>(random());
        break;
    case 1:
        input.insert(input.begin() + at, static_cast<uint8_t>(random()));
        break;
    case 2:
        if (!input.empty()) input.erase(input.begin() + pick(input.size()));
        break;
    case 3:
        input.insert(input.begin() + at, {'\r', '\n'});
        break;
    case 4:
        input.insert(input.begin() + at, '=');
        break;
    case 5: {
        const size_t length = pick(std::min<size_t>(input.size() - at, 64) + 1);
        Bytes piece(input.begin() + at, input.begin() + at + length);
        input.insert(input.begin() + at, piece.begin(), piece.end());
        break;
    }
    default:
        input.resize(at);
        break;
    }
    return input;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 5;
    std::vector<Bytes> seeds;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0) {
            seconds = std::atof(argv[i] + 10);
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
            if (entry.is_regular_file()) seeds.push_back(ReadFile(entry.path()));
    }
    seeds.push_back({});
    for (const auto& seed : seeds)
        Run(seed);

    std::mt19937 random(20261209);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long runs = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        Bytes input = seeds[random() % seeds.size()];
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int k = 0; k < changes; ++k)
            input = Mutate(std::move(input), random);
        Run(input);
        ++runs;
    }
    std::printf("%zu seeds, %ld mutated inputs\n", seeds.size(), runs);
    return 0;
}
