// zep-host trace on hand-written traces: one that tracing ended, and ones a
// crash cut short.
#include "host/trace.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/commands.hpp"
#include "host/report.hpp"
#include "run_host.hpp"
#include "trace/format.hpp"

#ifdef ZEP_TEST_JSON
#include <nlohmann/json.hpp>
#endif

namespace {

using ::testing::HasSubstr;
using zep::host::TraceSummary;

// Two threads of process 7: on thread 8 a call with a nested one, then a
// call that never returned; on thread 9 a return whose call lies before the
// file, and one call.
constexpr const char* kTrace = R"([
{"name":"process_name","ph":"M","pid":7,"tid":8,"args":{"name":"till"}},
{"name":"AbreCupom","cat":"ImpFiscal","ph":"B","pid":7,"tid":8,"ts":100,"args":{"package":"ZEP00101","words":["0x1","0x2"]}},
{"name":"Status","cat":"ImpFiscal","ph":"B","pid":7,"tid":8,"ts":101.5,"args":{"package":"ZEP00101","words":[]}},
{"name":"Status","cat":"ImpFiscal","ph":"E","pid":7,"tid":8,"ts":102,"args":{"result":"0x0"}},
{"name":"AbreCupom","cat":"ImpFiscal","ph":"E","pid":7,"tid":8,"ts":110,"args":{"result":"0x1"}},
{"name":"Pesa","cat":"Balanca","ph":"E","pid":7,"tid":9,"ts":115,"args":{"result":"0x0"}},
{"name":"AbreCupom","cat":"ImpFiscal","ph":"B","pid":7,"tid":8,"ts":120,"args":{"package":"ZEP00101","words":["0x3"]}},
{"name":"AbreCupom","cat":"ImpFiscal","ph":"E","pid":7,"tid":8,"ts":150,"args":{"result":"0x1"}},
{"name":"Pesa","cat":"Balanca","ph":"B","pid":7,"tid":9,"ts":160,"args":{"package":"ZEP01200","words":["0x0"]}},
{"name":"Pesa","cat":"Balanca","ph":"E","pid":7,"tid":9,"ts":164,"args":{"result":"0x2"}},
{"name":"LeituraX","cat":"ImpFiscal","ph":"B","pid":7,"tid":8,"ts":200,"args":{"package":"ZEP00101","words":["0x0"]}}
])";

std::string written(const std::string& name, std::string_view text) {
  const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / name;
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

TraceSummary summary(std::string_view text) {
  std::string problem;
  std::optional<TraceSummary> summary = zep::host::summariseTrace(text, "t", problem);
  EXPECT_TRUE(summary) << problem;
  return summary.value_or(TraceSummary{});
}

TEST(Trace, PairsCallsAThreadAtATimeAndTimesEachEntry) {
  // The times shown are local.
#ifdef _WIN32
  _putenv_s("TZ", "UTC");
  _tzset();
#else
  setenv("TZ", "UTC", 1);
  tzset();
#endif
  const TraceSummary all = summary(kTrace);
  EXPECT_TRUE(all.closed);
  EXPECT_FALSE(all.cutEvent);
  EXPECT_EQ(all.events, 11u);
  EXPECT_EQ(all.otherEvents, 1u);
  EXPECT_EQ(all.calls, 5u);
  EXPECT_EQ(all.unmatchedReturns, 1u);
  ASSERT_EQ(all.entries.size(), 4u);
  // By thread, then set and entry.
  const zep::host::EntryTimes& opened = all.entries[0];
  EXPECT_EQ(opened.entry, "AbreCupom");
  EXPECT_EQ(opened.calls, 2u);
  EXPECT_DOUBLE_EQ(opened.total, 40);
  EXPECT_DOUBLE_EQ(opened.longest, 30);
  EXPECT_EQ(all.entries[1].entry, "LeituraX");
  EXPECT_EQ(all.entries[1].neverReturned, 1u);
  EXPECT_DOUBLE_EQ(all.entries[2].total, 0.5);
  EXPECT_EQ(all.entries[3].thread.tid, 9);
  EXPECT_EQ(all.entries[3].calls, 1u);
  ASSERT_EQ(all.neverReturned.size(), 1u);
  EXPECT_EQ(all.neverReturned[0].entry, "LeituraX");
  EXPECT_DOUBLE_EQ(all.neverReturned[0].begun, 200);
  ASSERT_EQ(all.lastCalls.size(), 5u);
  EXPECT_EQ(all.lastCalls[0].words, (std::vector<std::string>{"0x1", "0x2"}));
  EXPECT_EQ(all.lastCalls[3].result, "0x2");
  EXPECT_FALSE(all.lastCalls[4].returned);

  Outcome text = host({"trace", written("trace.json", kTrace)});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_THAT(text.out, HasSubstr(": 5 calls, 1 never returned\n"));
  EXPECT_THAT(text.out, HasSubstr("\n  7/8     ImpFiscal  AbreCupom      2               0         "
                                  "0.040         0.020         0.030\n"));
  EXPECT_THAT(text.out, HasSubstr("\n  1970-01-01 00:00:00.000200  7/8  ImpFiscal LeituraX "
                                  "(ZEP00101) with 0x0: never returned\n"));
}

TEST(Trace, ACrashCutReadsUpToTheLastWholeEvent) {
  const std::string text(kTrace);
  // Cut mid-way through the last event, and after the comma before it.
  const std::size_t last = text.rfind("{\"name\":\"LeituraX\"");
  for (const std::string& cut : {text.substr(0, last + 40), text.substr(0, last - 1)}) {
    const TraceSummary part = summary(cut);
    EXPECT_FALSE(part.closed);
    EXPECT_EQ(part.cutEvent, cut.size() > last);
    EXPECT_EQ(part.calls, 4u);
    EXPECT_TRUE(part.neverReturned.empty());
  }
  Outcome told = host({"trace", written("cut.json", text.substr(0, last + 40))});
  EXPECT_EQ(told.status, 0);
  EXPECT_THAT(told.out, HasSubstr("note: the last event was written only in part"));
}

TEST(Trace, WhatIsNoTraceExitsOne) {
  Outcome none = host({"trace", testing::TempDir() + "/no-such-trace"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("zep-host: cannot read \""));
  Outcome other = host({"trace", written("object.json", R"({"traceEvents": []})")});
  EXPECT_EQ(other.status, 1);
  EXPECT_THAT(other.err, HasSubstr("is no call trace: it does not begin with '['"));
  Outcome broken = host({"trace", written("broken.json", R"([{"ph":"B"} {"ph":"E"}])")});
  EXPECT_EQ(broken.status, 1);
  EXPECT_THAT(broken.err, HasSubstr("is no call trace: "));
}

TEST(Trace, AsJsonIsOneDocumentOfTheSameNumbers) {
  if (!zep::host::canPrintJson()) GTEST_SKIP() << "built without nlohmann-json";
#ifdef ZEP_TEST_JSON
  Outcome result = host({"trace", "--json", written("trace.json", kTrace)});
  EXPECT_EQ(result.status, 0) << result.err;
  const nlohmann::json document = nlohmann::json::parse(result.out);
  EXPECT_EQ(document["calls"], 5);
  EXPECT_EQ(document["neverReturned"], 1);
  EXPECT_EQ(document["closed"], true);
  EXPECT_EQ(document["entries"][0]["entry"], "AbreCupom");
  EXPECT_EQ(document["entries"][0]["meanUs"], 20.0);
  EXPECT_EQ(document["entries"][1]["meanUs"], nullptr);
  EXPECT_EQ(document["unreturned"][0]["entry"], "LeituraX");
  EXPECT_EQ(document["lastCalls"][4]["result"], nullptr);
#endif
}

// A trace as the module writes it, one tick a nanosecond: thread 8 of
// process 7 calls AbreCupom with 0x1 0x2 at 100 us, which returns 0x1 at
// 110 us, calls it again at 120 us, and the module notes a bind; the file
// ends after the last record, as a crash leaves it.
std::string binaryTrace() {
  namespace format = zep::trace::format;
  std::string file(format::kHeaderSize + format::kNamesSize, '\0');
  format::FileHeader header{};
  std::memcpy(header.magic, format::kMagic, sizeof header.magic);
  header.version = format::kVersion;
  header.wordBytes = 8;
  header.namesOffset = format::kHeaderSize;
  header.namesSize = format::kNamesSize;
  header.regionsOffset = format::kHeaderSize + format::kNamesSize;
  header.regionSize = format::kRegionSize;
  header.regionCount = 4;
  header.pid = 7;
  header.ticksPerSecond = 1000000000;
  header.claimed = 1;
  const std::string texts = "AbreCupomImpFiscalZEP00101";
  const format::Name name{64, 0, 0, 9, 9, 8, 0, 0, 0};
  header.namesUsed = name.size;
  std::memcpy(file.data(), &header, sizeof header);
  std::memcpy(file.data() + format::kHeaderSize, &name, sizeof name);
  std::memcpy(file.data() + format::kHeaderSize + sizeof name, texts.data(), texts.size());
  const auto append = [&file](const auto& value) {
    file.append(reinterpret_cast<const char*>(&value), sizeof value);
  };
  append(format::RegionHeader{format::kRegionMagic, 0, 7, 8, 1000, 1000});
  append(format::Head{format::kCall, 2, 0, 0, 100000});
  append(std::uint64_t{1});
  append(std::uint64_t{2});
  append(format::Head{format::kReturn, 1, 0, 0, 110000});
  append(std::uint64_t{1});
  append(format::Head{format::kCall, 1, 0, 0, 120000});
  append(std::uint64_t{3});
  const std::string note = "ImpFiscal 1: ZEP00101";
  append(format::Head{format::kNote, format::kBind, 0, static_cast<std::uint32_t>(note.size()),
                      130000});
  file += note;
  file.resize(file.size() + format::padded(static_cast<std::uint32_t>(note.size())) - note.size());
  return file;
}

TEST(Trace, TheModulesFileIsReadToItsLastWholeRecordAndExported) {
  const std::string trace = binaryTrace();
  std::string problem;
  std::optional<TraceSummary> read =
      zep::host::summariseTraceFile(written("binary.trace", trace), problem);
  ASSERT_TRUE(read) << problem;
  EXPECT_EQ(read->calls, 2u);
  EXPECT_FALSE(read->closed);
  ASSERT_EQ(read->entries.size(), 1u);
  EXPECT_EQ(read->entries[0].entry, "AbreCupom");
  EXPECT_EQ(read->entries[0].thread.tid, 8);
  EXPECT_DOUBLE_EQ(read->entries[0].total, 10);
  ASSERT_EQ(read->notes.size(), 1u);
  EXPECT_EQ(read->notes[0].text, "ImpFiscal 1: ZEP00101");
  EXPECT_EQ(read->lastCalls[0].words, (std::vector<std::string>{"0x1", "0x2"}));

  // Cut inside the note: the records before it are whole.
  read = zep::host::summariseTraceFile(written("cut.trace", trace.substr(0, trace.size() - 9)),
                                       problem);
  ASSERT_TRUE(read) << problem;
  EXPECT_TRUE(read->cutEvent);
  EXPECT_EQ(read->calls, 2u);
  EXPECT_TRUE(read->notes.empty());

#ifdef ZEP_TEST_JSON
  const std::string out = testing::TempDir() + "/exported.json";
  Outcome exported = host({"trace", written("binary.trace", trace), "--export", out});
  EXPECT_EQ(exported.status, 0) << exported.err;
  std::ifstream in(out);
  const nlohmann::json document = nlohmann::json::parse(in);
  const nlohmann::json& events = document["traceEvents"];
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0]["ph"], "B");
  EXPECT_EQ(events[0]["name"], "AbreCupom");
  EXPECT_DOUBLE_EQ(events[0]["ts"].get<double>(), 100);
  EXPECT_EQ(events[1]["args"]["result"], "0x1");
  EXPECT_EQ(events[3]["ph"], "i");
  EXPECT_EQ(events[3]["args"]["text"], "ImpFiscal 1: ZEP00101");
#endif
}

#ifndef _WIN32
TEST(Trace, WhatIsNoRegularFileIsRefusedAtOnce) {
  Outcome zeros = host({"trace", "/dev/zero"});
  EXPECT_EQ(zeros.status, 1);
  EXPECT_THAT(zeros.err, HasSubstr("is no call trace: it is no regular file"));
  const std::string fifo = testing::TempDir() + "/trace.fifo";
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Outcome waiting = host({"trace", fifo});
  EXPECT_EQ(waiting.status, 1);
  EXPECT_THAT(waiting.err, HasSubstr("is no regular file"));
  std::filesystem::remove(fifo);
}
#endif

}  // namespace
