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
            switch (kind) {
            case 1: throw Exception("Probe failed", 42);
            case 2: throw EOleSysError("System trouble", long(static_cast<HRESULT>(0x80070005u)));
            case 3: throw EOleSysError("Positive trouble", 5);
            case 4: throw std::runtime_error("foreign");
            case 5: throw 7;
            default: break;
            }
        });
    }
    HRESULT STDMETHODCALLTYPE Echo(const char16_t* text, BSTR* result) override {
        return SafeCall([&] {
            ClearOut(result);
            SetOutText(result, InText(text) + u"!");
        });
    }

protected:
    friend class TxInterfacedObject;
    TProbe() = default;
    ~TProbe() override { ++destroyed; }
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

// Takes and drops a reference to itself while it is being made.
class TSelfReferencing : public TxImplements<TxInterfacedObject, IProbe> {
public:
    HRESULT STDMETHODCALLTYPE Fail(int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Echo(const char16_t*, BSTR*) override { return S_OK; }
    std::int32_t countInConstructor = 0;

protected:
    friend class TxInterfacedObject;
    TSelfReferencing() {
        TInterfacePtr<IProbe> self(this);
        countInConstructor = RefCount();
    }
};

// Its destruction fails the way releasing a tree can.
class TFailingRelease : public TxImplements<TxInterfacedObject, IProbe> {
public:
    HRESULT STDMETHODCALLTYPE Fail(int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Echo(const char16_t*, BSTR*) override { return S_OK; }

protected:
    friend class TxInterfacedObject;
    TFailingRelease() = default;
    ~TFailingRelease() override { ++destroyed; }
    void ReleaseOwned() override { throw Exception("Problem with XMLNode"); }
};

bool Listed(const TxInterfacedObject* object) { return LiveObjects().IndexOf(object) >= 0; }

// The description and GUID the failed call left for this thread; clears them.
struct Recorded {
    bool present = false;
    WideString description;
    GUID guid{};
    DWORD helpContext = 0;
};
Recorded TakeRecord() {
    Recorded result;
    IErrorInfo* info = nullptr;
    if (platform::GetErrorInfo(0, &info) != S_OK || !info) return result;
    result.present = true;
    result.description = platform::ErrorDescription(*info);
    info->GetGUID(&result.guid);
    info->GetHelpContext(&result.helpContext);
    info->Release();
    return result;
}

}  // namespace

TEST(InterfacedObject, CountingAndLiveObjectsMembership) {
    destroyed = 0;
    int before = LiveObjects().Count();
    TProbe* probe = TxInterfacedObject::Create<TProbe>();
    EXPECT_EQ(probe->RefCount(), 0);
    EXPECT_FALSE(Listed(probe));

    IProbe* itf = probe;
    EXPECT_EQ(itf->AddRef(), 1u);
    EXPECT_TRUE(Listed(probe));
    EXPECT_EQ(itf->AddRef(), 2u);
    EXPECT_EQ(LiveObjects().Count(), before + 1) << "a second reference adds no second entry";
    EXPECT_EQ(itf->Release(), 1u);
    EXPECT_TRUE(Listed(probe));
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(itf->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(LiveObjects().Count(), before);
}

TEST(InterfacedObject, ListKeepsOrderOfFirstReferenceAndClosesGaps) {
    TInterfacePtr<IProbe> a(TxInterfacedObject::Create<TProbe>());
    TInterfacePtr<IProbe> b(TxInterfacedObject::Create<TProbeChild>());
    TInterfacePtr<IProbe> c(TxInterfacedObject::Create<TProbe>());
    int base = LiveObjects().Count() - 3;
    EXPECT_EQ(LiveObjects().Items(base + 1)->ClassName(), "TProbeChild");
    b.Reset();
    EXPECT_EQ(LiveObjects().Count(), base + 2);
    EXPECT_EQ(LiveObjects().Items(base), static_cast<TxInterfacedObject*>(static_cast<TProbe*>(a.Get())));
    EXPECT_EQ(LiveObjects().Items(base + 1), static_cast<TxInterfacedObject*>(static_cast<TProbe*>(c.Get())));
    EXPECT_THROW(LiveObjects().Items(-1), EListError);
    EXPECT_THROW(LiveObjects().Items(LiveObjects().Count()), EListError);
}

TEST(InterfacedObject, ConstructorMayReferenceItself) {
    auto* object = TxInterfacedObject::Create<TSelfReferencing>();
    EXPECT_EQ(object->countInConstructor, 2);
    EXPECT_EQ(object->RefCount(), 0);
    EXPECT_FALSE(Listed(object));
    object->Free();
}

TEST(InterfacedObject, FreeRefusesReferencedObject) {
    destroyed = 0;
    TProbe* probe = TxInterfacedObject::Create<TProbe>();
    TInterfacePtr<IProbe> holder(probe);
    EXPECT_EQ(Thrown([&] { probe->Free(); }), "TxInterfacedObject Invalid Pointer");
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(probe->RefCount(), 1);
    holder.Reset();
    EXPECT_EQ(destroyed, 1);

    TProbe* unreferenced = TxInterfacedObject::Create<TProbe>();
    unreferenced->Free();
    EXPECT_EQ(destroyed, 2);
}

TEST(InterfacedObject, InterfaceLookupByIid) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbeChild>());
    auto* object = static_cast<TProbeChild*>(probe.Get());

    void* found = nullptr;
    EXPECT_EQ(probe->QueryInterface(IidNobody, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(object->RefCount(), 1);

    TInterfacePtr<IExtra> extra = probe.Query<IExtra>();
    ASSERT_TRUE(extra);
    EXPECT_EQ(object->RefCount(), 2);
    int twice = 0;
    CheckAutoResult(extra->Twice(21, &twice));
    EXPECT_EQ(twice, 42);

    // An interface of the ancestor class is found through the descendant's own interface.
    EXPECT_TRUE(extra.Query<IProbe>());
    TInterfacePtr<ISupportErrorInfo> support = extra.Query<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    // IUnknown is one pointer whichever interface it is asked through.
    EXPECT_EQ(probe.Query<IUnknown>().Get(), extra.Query<IUnknown>().Get());

    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IUnknown), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ISupportErrorInfo), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IProbe::Iid), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IExtra::Iid), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IidNobody), S_FALSE);

    // The ancestor alone lacks the descendant's interface.
    TInterfacePtr<IProbe> plain(TxInterfacedObject::Create<TProbe>());
    EXPECT_FALSE(plain.Query<IExtra>());
    EXPECT_EQ(plain.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IExtra::Iid), S_FALSE);
}

TEST(InterfacedObject, ExceptionBecomesStatusAndDescription) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbe>());
    EXPECT_EQ(probe->Fail(0), S_OK);

    EXPECT_EQ(probe->Fail(1), E_UNEXPECTED);
    Recorded record = TakeRecord();
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.description, u"Probe failed");
    EXPECT_TRUE(IsEqualGUID(record.guid, IID_IUnknown));
    EXPECT_EQ(record.helpContext, 42u);
    EXPECT_FALSE(TakeRecord().present) << "reading the record takes it";

    // An OLE system error with a negative code passes its code; a positive code does not.
    EXPECT_EQ(static_cast<std::uint32_t>(probe->Fail(2)), 0x80070005u);
    EXPECT_EQ(TakeRecord().description, u"System trouble");
    EXPECT_EQ(probe->Fail(3), E_UNEXPECTED);
    EXPECT_EQ(TakeRecord().description, u"Positive trouble");
}

TEST(InterfacedObject, ForeignExceptionGivesNoDescription) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbe>());
    for (int kind : {4, 5}) {
        EXPECT_EQ(probe->Fail(kind), E_UNEXPECTED);
        Recorded record = TakeRecord();
        ASSERT_TRUE(record.present) << "the record exists, without a description";
        EXPECT_EQ(record.description, u"");
        EXPECT_TRUE(IsEqualGUID(record.guid, IID_IUnknown));
    }
}

TEST(InterfacedObject, CallerSideCheckRaisesWithDescription) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbe>());
    auto raised = [](HRESULT status) -> std::pair<std::string, std::uint32_t> {
        try {
            CheckAutoResult(status);
        } catch (const EOleSysError& e) {
            return {e.Message(), static_cast<std::uint32_t>(e.ErrorCode())};
        }
        return {"no error", 0};
    };
    EXPECT_EQ(raised(probe->Fail(1)), std::make_pair(std::string("Probe failed"), 0x8000FFFFu));
    // Without a description the message is the system's text for the status, never empty.
    const auto [text, code] = raised(probe->Fail(4));
    EXPECT_NE(text, "");
    EXPECT_NE(text, "no error");
    EXPECT_NE(text, "Probe failed");
    EXPECT_EQ(code, 0x8000FFFFu);
    // The code of an error raised by a check passes through the next interface unchanged.
    EXPECT_EQ(raised(probe->Fail(2)), std::make_pair(std::string("System trouble"), 0x80070005u));
    EXPECT_NO_THROW(CheckAutoResult(S_OK));
    EXPECT_NO_THROW(CheckAutoResult(S_FALSE));
}

TEST(InterfacedObject, ErrorRecordBelongsToItsThread) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbe>());
    HRESULT status = S_OK;
    std::thread other([&] { status = probe->Fail(1); });
    other.join();
    EXPECT_EQ(status, E_UNEXPECTED);
    EXPECT_FALSE(TakeRecord().present);
}

TEST(InterfacedObject, TextCrossesAsOwnedBStr) {
    TInterfacePtr<IProbe> probe(TxInterfacedObject::Create<TProbe>());
    TBStr result;
    CheckAutoResult(probe->Echo(u"Привет", result.Receive()));
    EXPECT_EQ(result.Value(), u"Привет!");
    CheckAutoResult(probe->Echo(nullptr, result.Receive()));
    EXPECT_EQ(result.Value(), u"!");
    EXPECT_EQ(probe->Echo(u"x", nullptr), E_UNEXPECTED);
    EXPECT_FALSE(TakeRecord().description.empty());
}

TEST(InterfacedObject, SmartPointerCounts) {
    destroyed = 0;
    TProbe* object = TxInterfacedObject::Create<TProbe>();
    {
        TInterfacePtr<IProbe> a(object);
        TInterfacePtr<IProbe> b = a;
        EXPECT_EQ(object->RefCount(), 2);
        TInterfacePtr<IProbe> c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(object->RefCount(), 2);
        c = nullptr;
        EXPECT_EQ(object->RefCount(), 1);
        IProbe* raw = a.Detach();
        EXPECT_EQ(object->RefCount(), 1);
        a.Attach(raw);
        EXPECT_EQ(object->RefCount(), 1);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(InterfacedObject, FailingDestructionReachesReleasingCaller) {
    destroyed = 0;
    TInterfacePtr<IProbe> holder(TxInterfacedObject::Create<TFailingRelease>());
    auto* object = static_cast<TFailingRelease*>(holder.Get());
    EXPECT_EQ(Thrown([&] { holder.Reset(); }), "Problem with XMLNode") << "the error of the destruction was lost";
    EXPECT_FALSE(Listed(object));
    EXPECT_EQ(destroyed, 1) << "the object's memory goes all the same";

    // A holder going out of scope cannot raise: it reports and goes on.
    testing::internal::CaptureStderr();
    { TInterfacePtr<IProbe> scoped(TxInterfacedObject::Create<TFailingRelease>()); }
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("Problem with XMLNode"), std::string::npos) << report;
    EXPECT_EQ(destroyed, 2);
}

namespace {
AnsiString shownCaption, shownText;
int shown = 0;
void CaptureLeaks(const AnsiString& caption, const AnsiString& text) {
    ++shown;
    shownCaption = caption;
    shownText = text;
}
}  // namespace

TEST(InterfacedObject, LeakReportNamesAtMostNine) {
    auto previous = SetLeakReportHandler(&CaptureLeaks);
    shown = 0;
    std::vector<TxInterfacedObject*> objects;
    {
        TxInterfacedObjectList list;
        for (int i = 0; i < 12; ++i) {
            objects.push_back(i == 3 ? static_cast<TxInterfacedObject*>(TxInterfacedObject::Create<TProbeChild>())
                                     : TxInterfacedObject::Create<TProbe>());
            list.Add(objects.back());
        }
    }
    SetLeakReportHandler(previous);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(shownCaption, "Warning!");
    EXPECT_EQ(shownText, "\r\nTProbe\r\nTProbe\r\nTProbe\r\nTProbeChild\r\nTProbe\r\nTProbe\r\nTProbe\r\nTProbe\r\nTProbe\r\n");
    for (auto* object : objects) object->Free();  // the report leaves the objects as they are

    previous = SetLeakReportHandler(&CaptureLeaks);
    shown = 0;
    { TxInterfacedObjectList empty; }
    SetLeakReportHandler(previous);
    EXPECT_EQ(shown, 0);
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
