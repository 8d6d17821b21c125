#pragma once
// The random source of a real run: seeded once from the system's entropy.

#include "game/interfaces.h"

#include <random>

namespace gallows {

class StdRandom : public RandomSource {
public:
    StdRandom() : m_engine(std::random_device{}()) {}
    explicit StdRandom(std::uint64_t seed) : m_engine(seed) {}
    double next() override { return std::generate_canonical<double, 53>(m_engine); }

private:
    std::mt19937_64 m_engine;
};

} // namespace gallows
