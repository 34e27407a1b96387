// Forms and the application object.
#include "toolkit/Forms.h"

#include "toolkit/Backend.h"

namespace toolkit {

TApplication* Application = nullptr;

UF_CLASS_INFO(TCustomForm, TWinControl) {
    r.LString("Caption", &TCustomForm::GetCaption, &TCustomForm::SetCaption);
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
    SetColor(clBtnFace);
    Font().Color = clWindowText;
}

TCustomForm::~TCustomForm() {
    if (Application && Application->mainForm_ == this) Application->mainForm_ = nullptr;
    DestroyComponents();
    ReleasePeers();
}

void TCustomForm::SetClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    Changed();
}

void TCustomForm::DoCreate() {
    if (!OnCreate) return;
    try {
        OnCreate(this);
    } catch (...) {
        if (!Application) throw;
        Application->ShowException(std::current_exception());
    }
}

namespace {

// Shows the wait cursor for as long as it lives, also when the handler throws.
class BusyScope {
public:
    BusyScope() : backend_(Application ? &Application->Backend() : nullptr) {
        if (backend_) backend_->SetBusy(true);
    }
    ~BusyScope() {
        if (backend_) backend_->SetBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    TBackend* backend_;
};

}  // namespace

void TCustomForm::Close() {
    if (closing_ || closed_) return;
    closing_ = true;
    TCloseAction action = TCloseAction::caHide;
    try {
        BusyScope busy;
        if (OnClose) OnClose(this, action);
    } catch (...) {
        closing_ = false;
        throw;
    }
    closing_ = false;
    if (action == TCloseAction::caNone) return;
    closed_ = true;
    Hide();
    if (Application && Application->MainForm() == this) Application->Terminate();
}

void TCustomForm::Show() {
    closed_ = false;
    showing_ = true;
    if (Application) Application->Backend().ShowForm(*this);
}

void TCustomForm::Hide() {
    if (!showing_) return;
    showing_ = false;
    if (Application) Application->Backend().HideForm(*this);
}

UF_CLASS_INFO(TForm, TCustomForm) {}

UF_CLASS_INFO(TApplication, TComponent) {}

TApplication::TApplication(TComponent* owner) : TComponent(owner) { Application = this; }

TApplication::~TApplication() {
    // The forms go first: their windows need the back end.
    DestroyComponents();
    if (Application == this) Application = nullptr;
}

void TApplication::Initialize() { terminated_ = false; }

void TApplication::AddForm(TCustomForm* form) {
    if (!mainForm_) mainForm_ = form;
}

void TApplication::Run() {
    if (terminated_ || !mainForm_) return;
    mainForm_->Show();
    Backend().RunLoop(*this);
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    if (backend_ || nativeBackend_) Backend().Terminating();
}

void TApplication::MessageBox(const AnsiString& text, const AnsiString& caption) {
    Backend().MessageBox(text, caption);
}

void TApplication::ShowException(std::exception_ptr error) {
    AnsiString text;
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        text = e.Message();
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = "An error occurred outside the general exception class";
    }
    MessageBox(text, Title);
}

void TApplication::SetArguments(int argc, const char* const* argv) {
    params_.clear();
    for (int i = 0; i < argc; ++i) params_.push_back(NativeArgumentToAnsi(argv[i]));
}

AnsiString TApplication::ParamStr(int index) const {
    if (index < 0 || index >= static_cast<int>(params_.size())) return {};
    return params_[static_cast<std::size_t>(index)];
}

TBackend& TApplication::Backend() {
    if (backend_) return *backend_;
    if (!nativeBackend_) nativeBackend_ = CreateNativeBackend();
    return *nativeBackend_;
}

}  // namespace toolkit
