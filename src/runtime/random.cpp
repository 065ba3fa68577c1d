// The random sources: the kernel's for the server, a seeded sequence for tests.
#include "runtime/random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "runtime/percent.h"

namespace cb {

uint64_t Random::Next64() {
  unsigned char bytes[8];
  Fill(bytes, sizeof bytes);
  uint64_t v;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

uint32_t Random::Uniform(uint32_t n) {
  if (n < 2) return 0;
  // Rejecting the lowest 2^32 mod n values leaves a range that n divides evenly.
  const uint32_t threshold = static_cast<uint32_t>(-n) % n;
  while (true) {
    const uint32_t r = static_cast<uint32_t>(Next64());
    if (r >= threshold) return r % n;
  }
}

std::string Random::Hex(size_t bytes) {
  std::string raw(bytes, '\0');
  Fill(reinterpret_cast<unsigned char*>(raw.data()), bytes);
  std::string out;
  out.reserve(2 * bytes);
  for (unsigned char b : raw) {
    out += kLowerHexDigits[b >> 4];
    out += kLowerHexDigits[b & 15];
  }
  return out;
}

SecureRandom& SecureRandom::Shared() {
  static SecureRandom instance;
  return instance;
}

void SecureRandom::Fill(unsigned char* out, size_t n) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = getrandom(out + got, n - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no secure random source");
    }
    got += static_cast<size_t>(r);
  }
}

uint64_t SeededRandom::Next64() {
  uint64_t z = state_.fetch_add(0x9e3779b97f4a7c15ULL) + 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

void SeededRandom::Fill(unsigned char* out, size_t n) {
  for (size_t i = 0; i < n; i += 8) {
    const uint64_t v = Next64();
    std::memcpy(out + i, &v, std::min<size_t>(8, n - i));
  }
}

}  // namespace cb
