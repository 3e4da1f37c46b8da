#include "controls/accessible_role.h"

#include <oleacc.h>

#include <new>
#include <string>

#include "toolkit/system_library.h"

namespace {

// From the interface itself: with MinGW, IID_IAccessible may bind to oleacc's import thunk
// instead of the GUID when oleacc is linked before uuid.
const IID& kIidAccessible = __uuidof(IAccessible);

// The standard client object with its role replaced; everything else is passed through.
// Where the system has no standard object, a plain one of its own answers: name from the
// window text, state, location and hit test. (The system's proxy for a class name would do
// the same, but is not present everywhere.)
// A COM object is deleted by its own Release, never through the interface, so the interface's
// destructor need not be virtual.
#ifdef __GNUC__
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class RoleAccessible final : public IAccessible {
  public:
    RoleAccessible(HWND window, IAccessible* inner, long role)
        : window_(window), inner_(inner), role_(role) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, kIidAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return inner_ ? inner_->QueryInterface(riid, out) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --refs_;
        if (left == 0) {
            if (inner_) inner_->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!inner_) {
            if (!count) return E_INVALIDARG;
            *count = 0;
            return S_OK;
        }
        return inner_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        if (!inner_) {
            return E_NOTIMPL;
        }
        return inner_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        if (!inner_) {
            return E_NOTIMPL;
        }
        return inner_->GetIDsOfNames(riid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override {
        if (!inner_) {
            return E_NOTIMPL;
        }
        return inner_->Invoke(id, riid, lcid, flags, params, result, exception, argError);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!inner_) {
            if (!parent) return E_INVALIDARG;
            *parent = nullptr;
            return S_FALSE;
        }
        return inner_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!inner_) {
            if (!count) return E_INVALIDARG;
            *count = 0;
            return S_OK;
        }
        return inner_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!inner_) {
            if (out) *out = nullptr;
            return E_INVALIDARG;
        }
        return inner_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!inner_) {
            if (!name) return E_INVALIDARG;
            *name = nullptr;
            if (!isSelf(child)) return E_INVALIDARG;
            const std::wstring text = nameWithoutMnemonics();
            *name = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            return *name ? S_OK : E_OUTOFMEMORY;
        }
        return inner_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!inner_) {
            if (value) *value = nullptr;
            return DISP_E_MEMBERNOTFOUND;
        }
        return inner_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        if (!inner_) {
            if (text) *text = nullptr;
            return S_FALSE;
        }
        return inner_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_INVALIDARG;
        if (!isSelf(child)) return inner_ ? inner_->get_accRole(child, role) : E_INVALIDARG;
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = role_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!inner_) {
            if (!state || !isSelf(child)) return E_INVALIDARG;
            VariantInit(state);
            state->vt = VT_I4;
            state->lVal = STATE_SYSTEM_FOCUSABLE;
            if (GetFocus() == window_) state->lVal |= STATE_SYSTEM_FOCUSED;
            if (!IsWindowEnabled(window_)) state->lVal |= STATE_SYSTEM_UNAVAILABLE;
            if (!IsWindowVisible(window_)) state->lVal |= STATE_SYSTEM_INVISIBLE;
            return S_OK;
        }
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        if (!inner_) {
            if (help) *help = nullptr;
            return S_FALSE;
        }
        return inner_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        if (!inner_) {
            if (file) *file = nullptr;
            if (topic) *topic = -1;
            return S_FALSE;
        }
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        if (!inner_) {
            if (shortcut) *shortcut = nullptr;
            return S_FALSE;
        }
        return inner_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!inner_) {
            if (!focus) return E_INVALIDARG;
            VariantInit(focus);
            if (GetFocus() != window_) return S_FALSE;
            focus->vt = VT_I4;
            focus->lVal = CHILDID_SELF;
            return S_OK;
        }
        return inner_->get_accFocus(focus);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!inner_) {
            if (!selection) return E_INVALIDARG;
            VariantInit(selection);
            return S_FALSE;
        }
        return inner_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!inner_) {
            if (action) *action = nullptr;
            return S_FALSE;
        }
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        if (!inner_) {
            return DISP_E_MEMBERNOTFOUND;
        }
        return inner_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        if (!inner_) {
            if (!left || !top || !width || !height || !isSelf(child)) return E_INVALIDARG;
            RECT r{};
            GetWindowRect(window_, &r);
            *left = r.left;
            *top = r.top;
            *width = r.right - r.left;
            *height = r.bottom - r.top;
            return S_OK;
        }
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (!inner_) {
            if (end) VariantInit(end);
            return DISP_E_MEMBERNOTFOUND;
        }
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        if (!inner_) {
            if (!child) return E_INVALIDARG;
            VariantInit(child);
            RECT r{};
            GetWindowRect(window_, &r);
            const POINT at{x, y};
            if (!PtInRect(&r, at)) return S_FALSE;
            child->vt = VT_I4;
            child->lVal = CHILDID_SELF;
            return S_OK;
        }
        return inner_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!inner_) {
            return DISP_E_MEMBERNOTFOUND;
        }
        return inner_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        if (!inner_) {
            return E_NOTIMPL;
        }
        return inner_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        if (!inner_) {
            return E_NOTIMPL;
        }
        return inner_->put_accValue(child, value);
    }

  private:
    ~RoleAccessible() = default;

    static bool isSelf(const VARIANT& child) {
        return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
    }
    // The window text as shown: a single ampersand marks a mnemonic, two show one.
    std::wstring nameWithoutMnemonics() const {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
        std::wstring name;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'&' && i + 1 < text.size())
                ++i;
            else if (text[i] == L'&')
                continue;
            name += text[i];
        }
        return name;
    }

    HWND window_;
    IAccessible* inner_;
    long role_;
    long refs_ = 1;
};
#ifdef __GNUC__
#pragma GCC diagnostic pop
#endif

// oleacc is not a known system DLL, so it is not imported (Windows would look for it in the
// program's folder first); it is loaded from the system folder when first asked for.
struct OleaccApi {
    using CreateStdFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    using LresultFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    CreateStdFn createStandard = nullptr;
    LresultFn lresultFromObject = nullptr;

    static const OleaccApi& get() {
        static const OleaccApi api = [] {
            const HMODULE module = tk::systemLibrary(L"oleacc.dll");
            return OleaccApi{tk::moduleFunction<CreateStdFn>(module, "CreateStdAccessibleObject"),
                             tk::moduleFunction<LresultFn>(module, "LresultFromObject")};
        }();
        return api;
    }
};

} // namespace

LRESULT answerGetObjectWithRole(HWND window, WPARAM wParam, LPARAM lParam, long role) {
    if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT))
        return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    const OleaccApi& oleacc = OleaccApi::get();
    if (!oleacc.lresultFromObject) return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    IAccessible* standard = nullptr;
    if (!oleacc.createStandard ||
        FAILED(oleacc.createStandard(window, OBJID_CLIENT, kIidAccessible,
                                     reinterpret_cast<void**>(&standard))))
        standard = nullptr;
    auto* wrapped = new (std::nothrow) RoleAccessible(window, standard, role);
    if (!wrapped) {
        if (standard) standard->Release();
        return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    }
    const LRESULT result = oleacc.lresultFromObject(kIidAccessible, wParam, wrapped);
    wrapped->Release();
    return result;
}
