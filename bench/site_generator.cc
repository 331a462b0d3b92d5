// bench_site_generator: writes a synthetic site for the benchmark, as tab-separated table
// files plus load.sql and load.sh, the same site for the same flags and seed.
//
//   bench_site_generator [--schemas N] [--badges-per-schema N | --badges-total N]
//                        [--seed N] --out DIR
//
// Defaults: 3 client schemas (BMND01 ...) with 10000 badge numbers each, seed 1. Then
//   DIR/load.sh PROJECT_DIR PASSWORD
// loads it into an empty server (scripts/db-server.sh start ...; . DIR/env).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "site_plan.h"

namespace {

constexpr int kMaxSchemas = 99;
// Person numbers are client * 1000000 + badge index: more badges would give two clients
// the same person numbers.
constexpr long long kMaxBadgesPerSchema = 999999;

[[noreturn]] void usage(const char* complaint) {
  std::fprintf(stderr,
               "bench_site_generator: %s\n"
               "usage: bench_site_generator [--schemas N] [--badges-per-schema N | "
               "--badges-total N] [--seed N] --out DIR\n",
               complaint);
  std::exit(2);
}

long long parse_number(const char* flag, const char* text, long long lo, long long hi) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < lo || value > hi) {
    usage((std::string(flag) + " wants a number from " + std::to_string(lo) + " to " +
           std::to_string(hi))
              .c_str());
  }
  return value;
}

SitePlan parse_flags(int argc, char** argv) {
  long long schemas = 3;
  long long per_schema = -1;
  long long total = -1;
  SitePlan plan;
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (i + 1 >= argc) usage(("missing value after " + std::string(flag)).c_str());
    const char* value = argv[++i];
    if (flag == "--schemas") {
      schemas = parse_number(argv[i - 1], value, 1, kMaxSchemas);
    } else if (flag == "--badges-per-schema") {
      per_schema = parse_number(argv[i - 1], value, 0, kMaxBadgesPerSchema);
    } else if (flag == "--badges-total") {
      total = parse_number(argv[i - 1], value, 0, kMaxBadgesPerSchema * kMaxSchemas);
    } else if (flag == "--seed") {
      plan.seed = static_cast<std::uint64_t>(parse_number(argv[i - 1], value, 0, INT64_MAX));
    } else if (flag == "--out") {
      plan.out_dir = value;
    } else {
      usage(("unknown flag " + std::string(flag)).c_str());
    }
  }
  if (plan.out_dir.empty()) usage("--out DIR is required");
  if (per_schema >= 0 && total >= 0) usage("give --badges-per-schema or --badges-total, not both");
  if (total >= 0) {
    for (long long c = 0; c < schemas; ++c) {
      plan.badges.push_back(total / schemas + (c < total % schemas ? 1 : 0));
    }
    if (plan.badges[0] > kMaxBadgesPerSchema) usage("too many badges for so few schemas");
  } else {
    plan.badges.assign(static_cast<std::size_t>(schemas), per_schema >= 0 ? per_schema : 10000);
  }
  return plan;
}

}  // namespace

int main(int argc, char** argv) {
  const SitePlan plan = parse_flags(argc, argv);
  SiteRandom random(plan.seed);
  std::vector<LoadEntry> loads;
  site_write_central(plan, loads);
  site_write_clients(plan, random, loads);
  site_write_load_script(plan, loads);
  long long total = 0;
  for (long long n : plan.badges)
    total += n;
  std::printf("site written to %s: %zu client schemas, %lld badge numbers, seed %llu\n",
              plan.out_dir.c_str(), plan.badges.size(), total,
              static_cast<unsigned long long>(plan.seed));
  return 0;
}
