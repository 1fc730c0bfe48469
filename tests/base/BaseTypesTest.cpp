#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/CSmartPtrTarget.h"
#include "base/CUnknownStandAlone.h"
#include "base/Guid.h"
#include "base/Result.h"
#include "base/TextUtil.h"
#include "base/WaveFormat.h"

namespace sondrel {
namespace {

TEST(ResultCodes, FailuresAreNegative) {
    EXPECT_TRUE(Succeeded(S_OK));
    EXPECT_TRUE(Succeeded(S_FALSE));
    EXPECT_TRUE(Failed(E_FAIL));
    EXPECT_TRUE(Failed(E_NOTIMPL));
    EXPECT_TRUE(Failed(E_NOINTERFACE));
    EXPECT_EQ(static_cast<std::uint32_t>(E_FAIL), 0x80004005u);
}

TEST(Guid, RoundTripsThroughText) {
    const std::string text = KSDATAFORMAT_SUBTYPE_PCM.ToString();
    EXPECT_EQ(text, "{00000001-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(GUID::Parse(text), KSDATAFORMAT_SUBTYPE_PCM);
    EXPECT_EQ(GUID::Parse("00000003-0000-0010-8000-00aa00389b71"), KSDATAFORMAT_SUBTYPE_IEEE_FLOAT);
    EXPECT_FALSE(GUID::Parse("{00000001-0000-0010-8000-00AA00389B7}"));
    EXPECT_FALSE(GUID::Parse("{00000001-0000-0010-8000-00AA00389B7G}"));
    EXPECT_FALSE(GUID::Parse(""));
}

TEST(Guid, NameBasedIdsAreStableAndDistinct) {
    EXPECT_EQ(GUID::FromName("hw:CARD=CODEC,DEV=0"), GUID::FromName("hw:CARD=CODEC,DEV=0"));
    EXPECT_NE(GUID::FromName("hw:CARD=CODEC,DEV=0"), GUID::FromName("hw:CARD=CODEC,DEV=1"));
    EXPECT_FALSE(GUID::FromName("").IsNull());
}

struct ICounter : IUnknown {
    virtual int Value() = 0;
};

class CCounter : public CUnknownStandAlone<ICounter> {
public:
    explicit CCounter(bool* destroyed) : m_destroyed(destroyed) {}
    int Value() override { return 7; }

private:
    ~CCounter() override { *m_destroyed = true; }
    bool* m_destroyed;
};

TEST(ReferenceCounting, InterfaceObjectDiesAtZeroAcrossThreads) {
    bool destroyed = false;
    ComPtr<ICounter> owner = ComPtr<ICounter>::Attach(new CCounter(&destroyed));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([p = owner.Get()] {
            for (int i = 0; i < 10000; ++i) {
                p->AddRef();
                p->Release();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_FALSE(destroyed);
    void* other = &destroyed;
    EXPECT_EQ(owner->QueryInterface(IID_IUnknown, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    owner.Reset();
    EXPECT_TRUE(destroyed);
}

class CEntry : public CSmartPtrTarget {
public:
    explicit CEntry(int* live) : m_live(live) { ++*m_live; }
    ~CEntry() override { --*m_live; }

private:
    int* m_live;
};

TEST(ReferenceCounting, ListEntryStartsAtOneAndIsSharedByCopies) {
    int live = 0;
    {
        auto first = ComPtr<CEntry>::Make(&live);
        EXPECT_EQ(first->RefCount(), 1);
        std::vector<ComPtr<CEntry>> list{first, first};
        EXPECT_EQ(first->RefCount(), 3);
        list.clear();
        EXPECT_EQ(live, 1);
    }
    EXPECT_EQ(live, 0);
}

TEST(TextUtil, CaseInsensitiveSubstringKeepsSpaces) {
    EXPECT_TRUE(ContainsNoCase("Line In (USB AUDIO  CODEC)", "usb audio  codec"));
    EXPECT_FALSE(ContainsNoCase("Line In (USB AUDIO CODEC)", "USB AUDIO  CODEC"));
    EXPECT_TRUE(ContainsNoCase("Mikrofon (ÄÖÜ Gerät)", "äöü gerät"));
    EXPECT_TRUE(ContainsNoCase("anything", ""));
    EXPECT_TRUE(EqualsNoCase("ΜΙΚΡΟΦΩΝΟ", "μικροφωνο"));
}

TEST(TextUtil, HostileUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf32("a\xC3"), U"a\uFFFD");
    EXPECT_EQ(Utf8ToUtf32("\xE2\x82"), U"\uFFFD");
    EXPECT_EQ(Utf8ToUtf32("\xC0\xAF"), U"\uFFFD\uFFFD");            // overlong '/'
    EXPECT_EQ(Utf8ToUtf32("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(Utf32ToUtf8(Utf8ToUtf32("Größe €𝄞")), "Größe €𝄞");
}

}  // namespace
}  // namespace sondrel
