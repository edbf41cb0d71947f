// Gzip bodies from other writers, broken and hostile bodies, and block edges.
#include "fetch/Gunzipd.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "TestSupport.h"

namespace vek {
namespace {

std::string Fixture(const std::string& name) {
  return test::ReadFile(test::SourceDir() + "/tests/fixtures/gzip/" + name);
}

// Raw deflate data of the bytes, in one call or from a generator of chunks.
std::string RawDeflate(const std::string& data, int level = 6) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&s, static_cast<uLong>(data.size())), '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// A minimal member: 10-byte header, deflate data, CRC-32 and length.
std::string Member(const std::string& data) {
  std::string header("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
  uint32_t size = static_cast<uint32_t>(data.size());
  std::string trailer;
  for (uint32_t v : {crc, size})
    for (int i = 0; i < 4; ++i) trailer.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return header + RawDeflate(data) + trailer;
}

int HeaderSize(const std::string& bytes) {
  return GzipHeaderSize(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(Gunzip, DecodesMembersOfOtherWriters) {
  const std::string payload = Fixture("payload.txt");
  ASSERT_GT(payload.size(), 10000u);
  struct {
    const char* file;
    int header;
  } cases[] = {
      {"gzip-named.gz", 10 + 12},     // "payload.txt" and its NUL
      {"gzip-noname.gz", 10},
      {"plain.gz", 10},
      {"extra.gz", 16},               // four bytes of extra field
      {"name-hcrc.gz", 10 + 12 + 2},  // "subject.txt", NUL, header CRC
      {"all-fields.gz", 12 + 8 + 12 + 11 + 2},
      {"python-gzip.gz", 10 + 12},
  };
  for (const auto& c : cases) {
    const std::string body = Fixture(c.file);
    ASSERT_FALSE(body.empty()) << c.file;
    EXPECT_EQ(HeaderSize(body), c.header) << c.file;
    std::string out = "left over";
    EXPECT_TRUE(GunzipStream(body, out)) << c.file;
    EXPECT_TRUE(out == payload) << c.file << ": " << out.size() << " bytes";
  }
}

TEST(Gunzip, EmptyFileAndSecondMember) {
  std::string out = "x";
  EXPECT_TRUE(GunzipStream(Fixture("empty.gz"), out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(GunzipStream(Fixture("two-members.gz"), out));
  EXPECT_TRUE(out == Fixture("payload.txt")) << "only the first member counts";
  EXPECT_TRUE(GunzipStream(Member("one") + Member("two"), out));
  EXPECT_EQ(out, "one");
}

TEST(Gunzip, RejectsWhatIsNotAGzipHeader) {
  const std::string good = Member("hello");
  const std::string plain = "1234567890.dat<>title (10)\n1234567891.dat<>other (2)\n";
  std::string out;
  EXPECT_FALSE(GunzipStream(plain, out)) << "a plain body labelled gzip";
  EXPECT_EQ(out, "");
  EXPECT_FALSE(GunzipStream("", out));
  EXPECT_FALSE(GunzipStream(good.substr(0, 9), out));
  EXPECT_EQ(HeaderSize(good.substr(0, 9)), -1);
  EXPECT_EQ(GzipHeaderSize(nullptr, 0), -1);
  for (auto [index, value] : {std::pair{0, 0x1E}, {1, 0x8C}, {2, 7}, {3, 0x20}, {3, 0x40}, {3, 0x80}}) {
    std::string bad = good;
    bad[static_cast<size_t>(index)] = static_cast<char>(value);
    EXPECT_EQ(HeaderSize(bad), -1) << index << "=" << value;
    EXPECT_FALSE(GunzipStream(bad, out));
  }
  std::string text = good;
  text[3] = 0x01;  // the text flag means nothing to the decoder
  EXPECT_TRUE(GunzipStream(text, out));
  EXPECT_EQ(out, "hello");
}

TEST(Gunzip, HeadersRunningPastTheDataAreRejected) {
  const std::string fixed("\x1f\x8b\x08", 3);
  const std::string rest("\0\0\0\0\0\x03", 6);
  auto header = [&](int flags, const std::string& tail) { return fixed + static_cast<char>(flags) + rest + tail; };
  EXPECT_EQ(HeaderSize(header(0x04, std::string("\x05\x00" "abcd", 6))), -1) << "extra field longer than the data";
  EXPECT_EQ(HeaderSize(header(0x04, std::string("\x04\x00" "abcd", 6))), 16);
  EXPECT_EQ(HeaderSize(header(0x04, "")), -1);
  EXPECT_EQ(HeaderSize(header(0x04, "\x01")), -1);
  EXPECT_EQ(HeaderSize(header(0x08, "name-without-end")), -1);
  EXPECT_EQ(HeaderSize(header(0x08, std::string("n\0", 2))), 12);
  EXPECT_EQ(HeaderSize(header(0x18, std::string("n\0comment", 9))), -1);
  EXPECT_EQ(HeaderSize(header(0x18, std::string("n\0c\0", 4))), 14);
  EXPECT_EQ(HeaderSize(header(0x02, "\x01")), -1);
  EXPECT_EQ(HeaderSize(header(0x02, "\x01\x02")), 12);
  // A header that is all there is: nothing to inflate is a cut-off body.
  std::string out;
  EXPECT_FALSE(GunzipStream(header(0x00, ""), out));
}

TEST(Gunzip, CorruptDeflateDataFails) {
  std::string body = Fixture("plain.gz");
  ASSERT_GT(body.size(), 100u);
  body[10] = 0x07;  // final block of the reserved type 3
  std::string out;
  EXPECT_FALSE(GunzipStream(body, out));
  // A stored block whose length and its complement disagree.
  std::string stored = std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + std::string("\x01\x05\x00\x00\x00", 5) + "hello";
  EXPECT_FALSE(GunzipStream(stored, out));
  stored[13] = static_cast<char>(0xFA);
  stored[14] = static_cast<char>(0xFF);
  EXPECT_TRUE(GunzipStream(stored, out)) << "the same block with a correct complement";
  EXPECT_EQ(out, "hello");
}

TEST(Gunzip, TruncatedDeflateDataFailsSoTheOldListStays) {
  const std::string body = Fixture("plain.gz");
  const size_t deflateEnd = body.size() - 8;
  std::string out;
  // The trailer is never examined: without it the body is still whole.
  EXPECT_TRUE(GunzipStream(body.substr(0, deflateEnd), out));
  EXPECT_TRUE(out == Fixture("payload.txt"));
  for (size_t cut = 10; cut < deflateEnd; cut += (cut < deflateEnd - 40 ? 97 : 1)) {
    EXPECT_FALSE(GunzipStream(body.substr(0, cut), out)) << "cut at " << cut << " of " << deflateEnd;
    EXPECT_LE(out.size(), Fixture("payload.txt").size());
  }
}

TEST(Gunzip, OutputBlockEdges) {
  std::mt19937 rng(99);
  for (size_t size : {size_t{1}, size_t{32767}, size_t{32768}, size_t{32769}, size_t{65536}, size_t{1000000}}) {
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(rng() % 7 == 0 ? rng() : 'a' + rng() % 3);
    std::string out;
    ASSERT_TRUE(GunzipStream(Member(data), out)) << size;
    EXPECT_EQ(out.size(), size);
    EXPECT_TRUE(out == data) << size;
  }
  // Incompressible data goes through stored blocks.
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  std::string out;
  ASSERT_TRUE(GunzipStream(Member(noise), out));
  EXPECT_TRUE(out == noise);
}

TEST(Gunzip, OutputIsCappedAtTheLimit) {
  const std::string payload = Fixture("payload.txt");
  const std::string body = Fixture("plain.gz");
  std::string out;
  EXPECT_TRUE(GunzipStream(body, out, payload.size())) << "exactly the limit is allowed";
  EXPECT_FALSE(GunzipStream(body, out, payload.size() - 1));
  EXPECT_LE(out.size(), payload.size() - 1);
  EXPECT_FALSE(GunzipStream(body, out, 1000));
  EXPECT_LE(out.size(), 1000u);
  EXPECT_FALSE(GunzipStream(Member("x"), out, 0));
  EXPECT_TRUE(GunzipStream(Fixture("empty.gz"), out, 0));
}

// 100 MB of zeros deflate to about 100 KB; the decoder must stop at its cap.
TEST(Gunzip, BombStopsAtTheDefaultCap) {
  z_stream s{};
  ASSERT_EQ(deflateInit2(&s, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
  const std::string zeros(1 << 20, '\0');
  std::string deflated;
  std::string chunk(1 << 16, '\0');
  for (int mb = 0; mb < 100; ++mb) {
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    s.avail_in = static_cast<uInt>(zeros.size());
    const int flush = mb == 99 ? Z_FINISH : Z_NO_FLUSH;
    int status;
    do {
      s.next_out = reinterpret_cast<Bytef*>(chunk.data());
      s.avail_out = static_cast<uInt>(chunk.size());
      status = deflate(&s, flush);
      deflated.append(chunk.data(), chunk.size() - s.avail_out);
    } while (s.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
  }
  deflateEnd(&s);
  ASSERT_LT(deflated.size(), 200000u);
  const std::string body = std::string("\x1f\x8b\x08\0\0\0\0\0\x02\x03", 10) + deflated;
  std::string out;
  EXPECT_FALSE(GunzipStream(body, out));
  EXPECT_LE(out.size(), MaxDecodedSize);
  EXPECT_GT(out.size(), MaxDecodedSize - 32768) << "decoding goes on up to the cap";
  EXPECT_TRUE(GunzipStream(body, out, 100u << 20)) << "with room for it the same body decodes";
  EXPECT_EQ(out.size(), 100u << 20);
}

}  // namespace
}  // namespace vek
