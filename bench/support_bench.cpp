// Throughput of the line reader, the gzip decoder and the EUC-JP conversion,
// each beside a plain reference doing the same work on the same bytes.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "fetch/Gunzipd.h"
#include "support/BuffStr.h"
#include "support/Charset.h"
#include "support/funcs.h"

namespace {

// A real board list repeated up to the given size (LF line ends, code page 932).
std::string BoardText(size_t size) {
  std::ifstream in(std::string(VEK_SHARED_DIR) + "/fixtures/real/subject-a.txt", std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  std::string unit = ss.str();
  if (unit.empty()) throw std::runtime_error("fixtures/real/subject-a.txt not found");
  std::string text;
  text.reserve(size + unit.size());
  while (text.size() < size) text += unit;
  text.resize(size);
  return text;
}

const std::string& Text50MB() {
  static const std::string text = BoardText(50u << 20);
  return text;
}

// --- line reading -------------------------------------------------------------

void ReadLineCopy(benchmark::State& state) {
  vek::TStringReader reader(Text50MB());
  for (auto _ : state) {
    reader.Position = 0;
    size_t total = 0;
    while (!reader.Eof()) total += reader.ReadLine().size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text50MB().size()));
}

void ReadLineView(benchmark::State& state) {
  vek::TStringReader reader(Text50MB());
  for (auto _ : state) {
    reader.Position = 0;
    size_t total = 0;
    while (!reader.Eof()) total += reader.ReadLineView().size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text50MB().size()));
}

// The reference: memchr for LF only (the text has no CR), one string per line.
void MemchrSplitCopy(benchmark::State& state) {
  const std::string& text = Text50MB();
  for (auto _ : state) {
    const char* p = text.data();
    const char* end = p + text.size();
    size_t total = 0;
    while (p < end) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      if (lf == nullptr) lf = end;
      std::string line(p, lf);
      total += line.size();
      benchmark::DoNotOptimize(line);
      p = lf + 1;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void MemchrSplitView(benchmark::State& state) {
  const std::string& text = Text50MB();
  for (auto _ : state) {
    const char* p = text.data();
    const char* end = p + text.size();
    size_t total = 0;
    while (p < end) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      if (lf == nullptr) lf = end;
      total += static_cast<size_t>(lf - p);
      p = lf + 1;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// --- gzip -----------------------------------------------------------------------

const std::string& Plain16MB() {
  static const std::string text = BoardText(16u << 20);
  return text;
}

const std::string& Gzipped16MB() {
  static const std::string body = [] {
    const std::string& plain = Plain16MB();
    z_stream s{};
    deflateInit2(&s, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, static_cast<uLong>(plain.size())), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    s.avail_in = static_cast<uInt>(plain.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
  }();
  return body;
}

void Gunzip(benchmark::State& state) {
  const std::string& body = Gzipped16MB();
  std::string out;
  for (auto _ : state) {
    if (!vek::GunzipStream(body, out)) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(out.data());
  }
  if (out != Plain16MB()) state.SkipWithError("decoded bytes differ");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Plain16MB().size()));
}

// The reference: zlib reading the gzip wrapper itself, same 32 KB output block.
void ZlibGzipInflate(benchmark::State& state) {
  const std::string& body = Gzipped16MB();
  std::string out;
  for (auto _ : state) {
    out.clear();
    z_stream s{};
    inflateInit2(&s, 16 + MAX_WBITS);
    unsigned char block[32768];
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    s.avail_in = static_cast<uInt>(body.size());
    int status;
    do {
      s.next_out = block;
      s.avail_out = sizeof block;
      status = inflate(&s, Z_NO_FLUSH);
      out.append(reinterpret_cast<char*>(block), sizeof block - s.avail_out);
    } while (status == Z_OK);
    inflateEnd(&s);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != Plain16MB()) state.SkipWithError("decoded bytes differ");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Plain16MB().size()));
}

// --- EUC-JP ---------------------------------------------------------------------

std::string Iconv(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
  std::string out(in.size() * 2 + 16, '\0');
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = out.data();
  size_t ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

const std::string& Euc8MB() {
  // Cut on a line end so that no character is split.
  static const std::string euc = [] {
    std::string text = BoardText(8u << 20);
    text.resize(text.rfind('\n') + 1);
    return Iconv("EUC-JP-MS", "CP932", text);
  }();
  return euc;
}

void EucToSjis(benchmark::State& state) {
  const std::string& euc = Euc8MB();
  for (auto _ : state) {
    std::string sjis = vek::JisToSjis(vek::EucToJis(euc));
    benchmark::DoNotOptimize(sjis.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * euc.size()));
}

void IconvEucToCp932(benchmark::State& state) {
  const std::string& euc = Euc8MB();
  iconv_t cd = iconv_open("CP932", "EUC-JP-MS");
  std::string out(euc.size() + 16, '\0');
  for (auto _ : state) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* ip = const_cast<char*>(euc.data());
    size_t il = euc.size();
    char* op = out.data();
    size_t ol = out.size();
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) state.SkipWithError("iconv failed");
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * euc.size()));
}

BENCHMARK(ReadLineCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(MemchrSplitCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadLineView)->Unit(benchmark::kMillisecond);
BENCHMARK(MemchrSplitView)->Unit(benchmark::kMillisecond);
BENCHMARK(Gunzip)->Unit(benchmark::kMillisecond);
BENCHMARK(ZlibGzipInflate)->Unit(benchmark::kMillisecond);
BENCHMARK(EucToSjis)->Unit(benchmark::kMillisecond);
BENCHMARK(IconvEucToCp932)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
