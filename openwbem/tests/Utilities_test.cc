// String, SortedVectorMap and IntrusiveReference.
#include "openwbem/Exception.h"
#include "openwbem/IntrusiveReference.h"
#include "openwbem/SortedVectorMap.h"
#include "openwbem/String.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace OpenWBEM;

TEST(StringTest, LengthInBytesAndCodePoints) {
  String ascii("eth1");
  EXPECT_EQ(4u, ascii.length());
  EXPECT_EQ(4u, ascii.UTF8Length());
  // "Düsseldorf" (ü two bytes), a three-byte euro sign and a four-byte emoji.
  String mixed("D\xC3\xBCsseldorf \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(20u, mixed.length());
  EXPECT_EQ(14u, mixed.UTF8Length());
  EXPECT_EQ(0u, String().UTF8Length());
}

TEST(StringTest, ComparisonAndEditing) {
  EXPECT_TRUE(String("ZPX_DHCPService").equals("ZPX_DHCPService"));
  EXPECT_FALSE(String("ZPX_DHCPService").equals("zpx_dhcpservice"));
  EXPECT_TRUE(String("ZPX_DHCPService").equalsIgnoreCase("zpx_dhcpservice"));
  EXPECT_FALSE(String("abc").equalsIgnoreCase("abcd"));
  EXPECT_FALSE(String("abc").equals(static_cast<const char*>(0)));
  EXPECT_TRUE(String().equals(static_cast<const char*>(0)));
  EXPECT_EQ("key", String(" \tkey \r\n").trim());
  EXPECT_EQ("", String("   ").trim());
  EXPECT_EQ("so", String("libTavrel.so").substring(10));
  EXPECT_EQ("", String("abc").substring(7));
  EXPECT_TRUE(String("libTavrel.so").startsWith("lib"));
  EXPECT_TRUE(String("libTavrel.so").endsWith(".so"));
  EXPECT_FALSE(String("so").endsWith(".so"));
  EXPECT_EQ("a=b", String("a") + "=" + String("b"));
}

TEST(StringTest, StrictNumberConversion) {
  EXPECT_EQ(65535, String("65535").toUInt16());
  EXPECT_EQ(-5, String(" -5 ").toInt32());
  EXPECT_TRUE(String("TRUE").toBool());
  EXPECT_THROW(String("65536").toUInt16(), StringConversionException);
  EXPECT_THROW(String("-1").toUInt32(), StringConversionException);
  EXPECT_THROW(String("12x").toInt32(), StringConversionException);
  EXPECT_THROW(String("").toUInt8(), StringConversionException);
  EXPECT_THROW(String("0x10").toUInt8(), StringConversionException);
  EXPECT_THROW(String("1").toBool(), StringConversionException);
  EXPECT_EQ("18446744073709551615", String(UInt64(18446744073709551615ULL)));
  EXPECT_EQ("0.1", String(Real64(0.1)));
  EXPECT_EQ(0.1, String(Real64(0.1)).toReal64());
}

TEST(SortedVectorMapTest, KeepsOrderAndFirstInsert) {
  SortedVectorMap<String, String> m;
  EXPECT_TRUE(m.insert(std::make_pair(String("m"), String("1"))).second);
  EXPECT_TRUE(m.insert(std::make_pair(String("a"), String("2"))).second);
  EXPECT_TRUE(m.insert(std::make_pair(String("z"), String("3"))).second);
  EXPECT_TRUE(m.insert(std::make_pair(String("10"), String("4"))).second);
  EXPECT_TRUE(m.insert(std::make_pair(String("2"), String("5"))).second);
  // An existing key keeps its value.
  auto r = m.insert(std::make_pair(String("a"), String("other")));
  EXPECT_FALSE(r.second);
  EXPECT_EQ("2", r.first->second);

  std::vector<std::string> keys;
  for (const auto& kv : m) keys.push_back(kv.first.toStdString());
  EXPECT_EQ((std::vector<std::string>{"10", "2", "a", "m", "z"}), keys);

  EXPECT_EQ("3", m.find("z")->second);
  EXPECT_TRUE(m.find("b") == m.end());
  EXPECT_TRUE(m.find("") == m.end());
  EXPECT_EQ(1u, m.count("m"));
  m["b"] = "6";
  EXPECT_EQ("6", m.find("b")->second);
  EXPECT_EQ(1u, m.erase("m"));
  EXPECT_EQ(0u, m.erase("m"));
  EXPECT_EQ(5u, m.size());
}

namespace {

struct Counted : public IntrusiveCountableBase {
  explicit Counted(int* deaths) : m_deaths(deaths) {}
  ~Counted() override { ++*m_deaths; }
  int* m_deaths;
};

struct Derived : public Counted {
  using Counted::Counted;
};

}  // namespace

TEST(IntrusiveReferenceTest, CountsAndDeletesOnce) {
  int deaths = 0;
  {
    IntrusiveReference<Counted> a(new Counted(&deaths));
    EXPECT_EQ(1, a->getRefCount());
    {
      IntrusiveReference<Counted> b(a);
      IntrusiveReference<Counted> c;
      c = b;
      EXPECT_EQ(3, a->getRefCount());
      EXPECT_TRUE(b == c);
    }
    EXPECT_EQ(1, a->getRefCount());
    IntrusiveReference<Counted> moved(std::move(a));
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(1, moved->getRefCount());
    moved = moved;  // self-assignment keeps the object
    EXPECT_EQ(0, deaths);
    EXPECT_EQ(1, moved->getRefCount());
  }
  EXPECT_EQ(1, deaths);

  // Upcast and downcast share the one count.
  IntrusiveReference<Derived> d(new Derived(&deaths));
  IntrusiveReference<Counted> base(d);
  EXPECT_EQ(2, d->getRefCount());
  EXPECT_TRUE(base.cast_to<Derived>());
  d.setNull();
  base = 0;
  EXPECT_EQ(2, deaths);

  // Null references spelled the usual ways.
  IntrusiveReference<Counted> zero(0), null(nullptr);
  EXPECT_TRUE(zero.isNull() && null.isNull() && !zero && zero == null);

  // A copied object starts with its own count.
  Counted stackObj(&deaths);
  Counted copy(stackObj);
  EXPECT_EQ(0, copy.getRefCount());
}

TEST(IntrusiveReferenceTest, ConcurrentCopiesKeepCount) {
  int deaths = 0;
  IntrusiveReference<Counted> shared(new Counted(&deaths));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared] {
      for (int i = 0; i < 10000; ++i) {
        IntrusiveReference<Counted> local(shared);
        (void)local;
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(1, shared->getRefCount());
  EXPECT_EQ(0, deaths);
}
