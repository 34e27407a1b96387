#pragma once
// Forms and the application: creation handler, close handler, the main form, the message loop.
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Controls.h"

namespace toolkit {

class TBackend;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };

using TNotifyEvent = std::function<void(TObject* sender)>;
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

// A top-level window. Left/Top are screen coordinates and ClientWidth/ClientHeight the client area,
// all in 96-dpi pixels. Published: Caption (long string, the window title).
class TCustomForm : public TWinControl {
    UF_DECLARE_CLASS(TCustomForm)
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    AnsiString GetCaption() const { return GetText(); }
    void SetCaption(const AnsiString& caption) { SetText(caption); }

    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    void SetClientSize(int width, int height);

    TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
    // The control that gets the keyboard focus when the form is first shown (or null).
    TWinControl* ActiveControl = nullptr;

    TNotifyEvent OnCreate;
    TCloseEvent OnClose;

    // Runs OnCreate. An error escaping it is shown by the application (message box with the error's
    // text) and creation goes on. TApplication::CreateForm calls it once the form's components exist.
    void DoCreate();

    // Runs OnClose with caHide, with the wait cursor shown meanwhile. Unless the handler sets caNone the
    // form is hidden and, being the main form, ends the application. A Close that arrives while the
    // handler runs, or after the form has closed, is ignored, so each close reports once.
    void Close();
    bool Closed() const { return closed_; }

    bool Showing() const { return showing_; }
    void Show();
    void Hide();

private:
    int clientWidth_ = 0, clientHeight_ = 0;
    bool showing_ = false;
    bool closing_ = false;
    bool closed_ = false;
};

class TForm : public TCustomForm {
    UF_DECLARE_CLASS(TForm)
public:
    using TCustomForm::TCustomForm;
};

// The program's application object. The one live instance is reachable as toolkit::Application.
// It owns the forms it creates and the back end that shows them.
class TApplication : public TComponent {
    UF_DECLARE_CLASS(TApplication)
public:
    explicit TApplication(TComponent* owner = nullptr);
    ~TApplication() override;

    void Initialize();

    // Creates a form owned by the application; the first one becomes the main form. Runs the form's
    // creation handler after its constructor has made all its components.
    template <class TFormClass>
    TFormClass* CreateForm() {
        auto* form = new TFormClass(this);
        AddForm(form);
        form->DoCreate();
        return form;
    }

    TCustomForm* MainForm() const { return mainForm_; }

    // Shows the main form and runs the message loop until Terminate. When Terminate came first, returns
    // at once without showing anything.
    void Run();
    // Asks the loop to end; returns at once.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The message box of the back end (MessageBoxA on Windows, standard error on the console).
    void MessageBox(const AnsiString& text, const AnsiString& caption);
    // Shows an error in a message box with its text (for non-Exception errors, what() or a general text).
    void ShowException(std::exception_ptr error);

    // The title of message boxes: the program's name.
    AnsiString Title = "Uninstall";

    // Command-line arguments in the ANSI code page; ParamStr(0) is the program.
    void SetArguments(int argc, const char* const* argv);  // native arguments as main() gets them
    int ParamCount() const { return params_.empty() ? 0 : static_cast<int>(params_.size()) - 1; }
    AnsiString ParamStr(int index) const;  // empty outside the range

    // The back end; the native one (win32 or console) unless another was set. Not owned when set.
    TBackend& Backend();
    void SetBackend(TBackend* backend) { backend_ = backend; }

private:
    friend class TCustomForm;
    void AddForm(TCustomForm* form);

    TCustomForm* mainForm_ = nullptr;
    bool terminated_ = false;
    std::vector<AnsiString> params_;
    TBackend* backend_ = nullptr;
    std::unique_ptr<TBackend> nativeBackend_;
};

// The live application (null when none exists).
extern TApplication* Application;

}  // namespace toolkit
