// The numbers the script's random generator gives for a seed: Boost's mt19937 seeded with
// the seconds since 1970, read through Boost's uniform_int_distribution over 0 to 65535.
// Written independently of the engine, as the reference of the var function "random".
//
//   g++ -O2 -o var_random_reference tools/var_random_reference.cpp
//   ./var_random_reference SEED COUNT > tests/data/harness/varfunctions/random_reference.txt
#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: var_random_reference SEED COUNT\n");
        return 2;
    }
    const unsigned long seed = std::strtoul(argv[1], nullptr, 10);
    const long count = std::strtol(argv[2], nullptr, 10);
    boost::random::mt19937 generator(static_cast<boost::uint32_t>(seed));
    boost::random::uniform_int_distribution<int> draw(0, 65535);
    std::printf("# seed %lu\n", seed);
    for (long i = 0; i < count; ++i) std::printf("%d\n", draw(generator));
    return 0;
}
