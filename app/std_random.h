#pragma once
// The random source of a real run: seeded once from the system's entropy.

#include "game/interfaces.h"

#include <random>

namespace gallows {

class StdRandom : public RandomSource {
public:
    StdRandom() : engine(std::random_device{}()) {}
    explicit StdRandom(std::uint64_t seed) : engine(seed) {}
    double next() override { return std::generate_canonical<double, 53>(engine); }

private:
    std::mt19937_64 engine;
};

} // namespace gallows
