#include "xmlini/InterfacedObject.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "TestSupport.h"

namespace {

struct IProbe : IUnknown {
    static constexpr IID Iid = {0x6A1C0E21, 0x52B7, 0x4C1E, {0x9A, 0x33, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66}};
    // Raises according to kind: 0 nothing, 1 Exception, 2 EOleSysError with a negative code,
    // 3 EOleSysError with a positive code, 4 std::runtime_error, 5 an int.
    virtual HRESULT STDMETHODCALLTYPE Fail(int kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE Echo(const char16_t* text, BSTR* result) = 0;
};

struct IExtra : IUnknown {
    static constexpr IID Iid = {0x6A1C0E22, 0x52B7, 0x4C1E, {0x9A, 0x33, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66}};
    virtual HRESULT STDMETHODCALLTYPE Twice(int value, int* result) = 0;
};

constexpr IID IidNobody = {0x6A1C0E23, 0x52B7, 0x4C1E, {0x9A, 0x33, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66}};

int destroyed = 0;

class TProbe : public TxImplements<TxInterfacedObject, IProbe> {
public:
    HRESULT STDMETHODCALLTYPE Fail(int kind) override {
        return SafeCall([&] {
            if (kind == 1) throw Exception("Probe failed", 42);
            if (kind == 2) throw EOleSysError("System trouble", long(static_cast<HRESULT>(0x80070005u)));
            if (kind == 3) throw EOleSysError("Positive trouble", 5);
            if (kind == 4) throw std::runtime_error("foreign");
            if (kind == 5) throw 7;
        });
    }
    HRESULT STDMETHODCALLTYPE Echo(const char16_t* text, BSTR* result) override {
        return SafeCall([&] {
            ClearOut(result);
            SetOutText(result, InText(text) + u"!");
        });
    }
    std::int32_t countInConstructor = 0;
    bool failRelease = false;

protected:
    friend class TxInterfacedObject;
    TProbe() {  // takes and drops a reference to itself while it is being made
        TInterfacePtr<IProbe> self(this);
        countInConstructor = RefCount();
    }
    ~TProbe() override { ++destroyed; }
    // Its destruction may fail the way releasing a tree can.
    void ReleaseOwned() override {
        if (failRelease) throw Exception("Problem with XMLNode");
    }
};

class TProbeChild : public TxImplements<TProbe, IExtra> {
public:
    HRESULT STDMETHODCALLTYPE Twice(int value, int* result) override {
        return SafeCall([&] {
            ClearOut(result);
            *result = 2 * value;
        });
    }

protected:
    friend class TxInterfacedObject;
    TProbeChild() = default;
};

bool Listed(const TxInterfacedObject* object) { return LiveObjects().IndexOf(object) >= 0; }
TxInterfacedObject* Object(const TInterfacePtr<IProbe>& probe) { return static_cast<TProbe*>(probe.Get()); }

// The description the failed call left for this thread, taking it; "<none>" without a record.
WideString TakeDescription(DWORD* helpContext = nullptr) {
    IErrorInfo* info = nullptr;
    if (platform::GetErrorInfo(0, &info) != S_OK || !info) return u"<none>";
    GUID guid{};
    info->GetGUID(&guid);
    EXPECT_TRUE(IsEqualGUID(guid, IID_IUnknown));
    if (helpContext) info->GetHelpContext(helpContext);
    WideString description = platform::ErrorDescription(*info);
    info->Release();
    return description;
}

}  // namespace

TEST(InterfacedObject, CountingFreeAndLiveObjectsInOrderOfFirstReference) {
    destroyed = 0;
    int before = LiveObjects().Count();
    TProbe* probe = TxInterfacedObject::Create<TProbe>();
    EXPECT_EQ(probe->countInConstructor, 2);
    EXPECT_EQ(probe->RefCount(), 0);
    EXPECT_FALSE(Listed(probe));
    TInterfacePtr<IProbe> a(probe);
    TInterfacePtr<IProbe> b(TxInterfacedObject::Create<TProbeChild>());
    TInterfacePtr<IProbe> c(TxInterfacedObject::Create<TProbe>());
    TInterfacePtr<IProbe> moved = a;  // a second reference adds no second entry
    EXPECT_EQ(probe->RefCount(), 2);
    EXPECT_EQ(LiveObjects().Count(), before + 3);
    EXPECT_EQ(LiveObjects().Items(before + 1)->ClassName(), "TProbeChild");
    b.Reset();
    EXPECT_EQ(LiveObjects().Items(before), probe);
    EXPECT_EQ(LiveObjects().Items(before + 1), Object(c));
    EXPECT_THROW(LiveObjects().Items(-1), EListError);
    EXPECT_THROW(LiveObjects().Items(before + 2), EListError);

    EXPECT_EQ(Thrown([&] { probe->Free(); }), "TxInterfacedObject Invalid Pointer");
    TInterfacePtr<IProbe> other = std::move(moved);
    EXPECT_FALSE(moved);
    a.Attach(a.Detach());
    a = nullptr;
    EXPECT_EQ(probe->RefCount(), 1);
    EXPECT_EQ(destroyed, 1);
    other.Reset();
    EXPECT_EQ(destroyed, 2);
    EXPECT_FALSE(Listed(probe));
    TxInterfacedObject::Create<TProbe>()->Free();
    EXPECT_EQ(destroyed, 3);
}

TEST(InterfacedObject, InterfaceLookupByIid) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbeChild>());
    void* found = nullptr;
    EXPECT_EQ(probe->QueryInterface(IidNobody, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    TInterfacePtr<IExtra> extra = probe.Query<IExtra>();
    EXPECT_EQ(Object(probe)->RefCount(), 2);
    EXPECT_EQ(Out(extra, &IExtra::Twice, 21), 42);
    // An interface of the ancestor class is found through the descendant's own interface.
    EXPECT_TRUE(extra.Query<IProbe>());
    // IUnknown is one pointer whichever interface it is asked through.
    EXPECT_EQ(probe.Query<IUnknown>().Get(), extra.Query<IUnknown>().Get());
    TInterfacePtr<ISupportErrorInfo> support = extra.Query<ISupportErrorInfo>();
    for (IID iid : {IID_IUnknown, IID_ISupportErrorInfo, IProbe::Iid, IExtra::Iid})
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(iid), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IidNobody), S_FALSE);
    // The ancestor alone lacks the descendant's interface.
    TInterfacePtr<IProbe> plain(TxInterfacedObject::Create<TProbe>());
    EXPECT_FALSE(plain.Query<IExtra>());
    EXPECT_EQ(plain.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IExtra::Iid), S_FALSE);
}

// An error becomes a status and a description for this thread; the caller's check raises it again.
TEST(InterfacedObject, ExceptionsCrossAsStatusAndDescription) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbe>());
    EXPECT_EQ(probe->Fail(0), S_OK);
    const struct {
        int kind;
        std::uint32_t status;
        const char16_t* description;  // a foreign exception leaves a record without one
    } cases[] = {{1, 0x8000FFFFu, u"Probe failed"}, {2, 0x80070005u, u"System trouble"},
                 {3, 0x8000FFFFu, u"Positive trouble"}, {4, 0x8000FFFFu, u""}, {5, 0x8000FFFFu, u""}};
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<std::uint32_t>(probe->Fail(c.kind)), c.status);
        DWORD helpContext = 0;
        EXPECT_EQ(TakeDescription(&helpContext), c.description);
        EXPECT_EQ(helpContext, c.kind == 1 ? 42u : 0u);
        EXPECT_EQ(TakeDescription(), u"<none>") << "reading the record takes it";
        try {
            CheckAutoResult(probe->Fail(c.kind));
        } catch (const EOleSysError& e) {
            // Without a description the message is the system's text for the status, never empty.
            EXPECT_EQ(e.Message(), *c.description ? platform::WideToAnsi(c.description) : e.Message());
            EXPECT_NE(e.Message(), "");
            EXPECT_EQ(static_cast<std::uint32_t>(e.ErrorCode()), c.status);
        }
    }
    EXPECT_NO_THROW(CheckAutoResult(S_FALSE));
    HRESULT status = S_OK;
    std::thread other([&] { status = probe->Fail(1); });
    other.join();
    EXPECT_EQ(status, E_UNEXPECTED);
    EXPECT_EQ(TakeDescription(), u"<none>") << "the record belongs to the other thread";

    EXPECT_EQ(Out(probe, &IProbe::Echo, u"Привет"), u"Привет!");  // text crosses as an owned BSTR
    EXPECT_EQ(Out(probe, &IProbe::Echo, nullptr), u"!");
    EXPECT_EQ(probe->Echo(u"x", nullptr), E_UNEXPECTED);
    WideString description = TakeDescription();
    EXPECT_TRUE(description != u"" && description != u"<none>");
}

TEST(InterfacedObject, FailingDestructionReachesReleasingCaller) {
    destroyed = 0;
    TInterfacePtr<IProbe> holder(TxInterfacedObject::Create<TProbe>());
    static_cast<TProbe*>(holder.Get())->failRelease = true;
    TxInterfacedObject* object = Object(holder);
    EXPECT_EQ(Thrown([&] { holder.Reset(); }), "Problem with XMLNode") << "the error of the destruction was lost";
    EXPECT_FALSE(Listed(object));
    EXPECT_EQ(destroyed, 1) << "the object's memory goes all the same";

    // A holder going out of scope cannot raise: it reports and goes on.
    testing::internal::CaptureStderr();
    {
        TInterfacePtr<IProbe> scoped(TxInterfacedObject::Create<TProbe>());
        static_cast<TProbe*>(scoped.Get())->failRelease = true;
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Problem with XMLNode"), std::string::npos);
    EXPECT_EQ(destroyed, 2);
}

namespace {
std::vector<std::string> shown;
void CaptureLeaks(const AnsiString& caption, const AnsiString& text) { shown.push_back(caption + text); }
}  // namespace

TEST(InterfacedObject, LeakReportNamesAtMostNine) {
    auto previous = SetLeakReportHandler(&CaptureLeaks);
    std::vector<TxInterfacedObject*> objects;
    { TxInterfacedObjectList empty; }
    {
        TxInterfacedObjectList list;
        for (int i = 0; i < 12; ++i) {
            objects.push_back(i == 3 ? static_cast<TxInterfacedObject*>(TxInterfacedObject::Create<TProbeChild>())
                                     : TxInterfacedObject::Create<TProbe>());
            list.Add(objects.back());
        }
    }
    SetLeakReportHandler(previous);
    EXPECT_EQ(shown, std::vector<std::string>{"Warning!\r\nTProbe\r\nTProbe\r\nTProbe\r\nTProbeChild\r\nTProbe\r\n"
                                              "TProbe\r\nTProbe\r\nTProbe\r\nTProbe\r\n"});
    for (auto* object : objects) object->Free();  // the report leaves the objects as they are
}

#ifndef _WIN32
// At program exit a referenced object is reported through the platform's message box, which on Linux
// writes to standard error. (On Windows that box waits for a user, so the exit is tested on Linux.)
TEST(InterfacedObjectDeathTest, ReferencedObjectsAreReportedAtExit) {
    EXPECT_EXIT(
        {
            SetLeakReportHandler(nullptr);
            // Held from a global, so that leak checkers see it reachable: only the report is wanted here.
            static IProbe* kept = TInterfacePtr<IProbe>(TxInterfacedObject::Create<TProbeChild>()).Detach();
            (void)kept;
            std::exit(0);
        },
        testing::ExitedWithCode(0), "Warning!.*\n?.*TProbeChild");
}
#endif
