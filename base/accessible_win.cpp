// A control's object for screen readers: the standard object of its class, with the
// name, role and state the program gives. Windows' annotation service would do the
// naming, but Wine's is a stub, so the control answers WM_GETOBJECT itself; UI
// Automation reads such an object through its MSAA proxy.

#include "base/accessible_win.h"

#include <commctrl.h>
#include <oleacc.h>

#include <new>

// The object forwards to another object of the same interface: guessing that one to be
// itself, GCC would inline each forward into the next (15 KB instead of 3).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-devirtualize-speculatively")
#endif

namespace accessible {
namespace {

// Written out: mingw-w64's oleacc import library also defines some of these names, as
// code, which a link in the wrong order would take for the ids.
// Taken from libuuid, one id would bring 8 KB of others with it.
constexpr GUID unknownInterface{0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID dispatchInterface{0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID enumVariantInterface{0x00020404, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID oleWindowInterface{0x00000114, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID accessibleInterface{0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID identityInterface{0x7852b78d, 0x1cfd, 0x41c1, {0xa6, 0x15, 0x9c, 0x0c, 0x85, 0x96, 0x0b, 0x5f}};
constexpr GUID propServicesInterface{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID propServicesClass{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID liveSettingProperty{0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};

bool isSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// Forwards everything to the standard object but the control's own name, role and
// state. The children (a combo box's list), identity (which annotations key on) and
// window come from the standard object; its service provider is left out, since UI
// Automation would take an object that says it is oleacc's proxy for one of its own.
class Described final : public IAccessible {
public:
    Described(IAccessible* standard, HWND control, Describe describe)
        : standard_(standard), control_(control), describe_(describe) {}
    Described(const Described&) = delete;
    Described& operator=(const Described&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (id == unknownInterface || id == dispatchInterface || id == accessibleInterface) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        if (id == enumVariantInterface || id == oleWindowInterface || id == identityInterface)
            return standard_->QueryInterface(id, out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
        return standard_->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument) override {
        return standard_->Invoke(member, id, locale, flags, parameters, result, exception, argument);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!name || !isSelf(child)) return standard_->get_accName(child, name);
        const Answers answers = describe_(control_);
        if (answers.name.empty()) return standard_->get_accName(child, name);
        *name = SysAllocString(answers.name.c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role || !isSelf(child)) return standard_->get_accRole(child, role);
        const Answers answers = describe_(control_);
        if (answers.role == 0) return standard_->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = answers.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        const HRESULT result = standard_->get_accState(child, state);
        if (result == S_OK && isSelf(child) && state->vt == VT_I4) state->lVal |= describe_(control_).addedState;
        return result;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
        return standard_->get_accHelp(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return standard_->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    ~Described() { standard_->Release(); }

    IAccessible* standard_;
    HWND control_;
    Describe describe_;
    LONG references_ = 1;
};

LRESULT CALLBACK answerObject(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR describe) {
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        IAccessible* standard = nullptr;
        if (SUCCEEDED(CreateStdAccessibleObject(control, OBJID_CLIENT, accessibleInterface,
                                                reinterpret_cast<void**>(&standard)))) {
            auto* object = new (std::nothrow) Described(standard, control, reinterpret_cast<Describe>(describe));
            if (!object) {
                standard->Release();
                return 0;
            }
            const LRESULT result = LresultFromObject(accessibleInterface, wParam, object);
            object->Release();
            return result;
        }
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(control, answerObject, 0);
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void describeControl(HWND control, Describe describe) {
    SetWindowSubclass(control, answerObject, 0, reinterpret_cast<DWORD_PTR>(describe));
}

void makeLiveRegion(HWND control, Live setting) {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(propServicesClass, nullptr, CLSCTX_INPROC_SERVER, propServicesInterface,
                                reinterpret_cast<void**>(&services))))
        return;  // no annotation service: the announcements still reach MSAA clients
    VARIANT value{};
    value.vt = VT_I4;
    value.lVal = static_cast<long>(setting);
    services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, liveSettingProperty, value);
    services->Release();
}

void announce(HWND control) { NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, control, OBJID_CLIENT, CHILDID_SELF); }

}  // namespace accessible
