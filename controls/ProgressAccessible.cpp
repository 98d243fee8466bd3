// The gradient bar's IAccessible: role, name, value, state and location of its own, the rest from the system's
// client object, and oleacc.dll loaded from the system folder.
#include "ProgressAccessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <new>
#include <string>

#include "Com.h"
#include "GradientBands.h"
#include "SystemLibrary.h"

namespace {
HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Reads the bar through its window only, never through the control object: a client may keep this object after the
// bar is gone, and may call it from a thread other than the bar's. The name is the one of its creation; the bar is
// named once, before anyone asks.
class ProgressAccessible final : public IAccessible {
public:
    ProgressAccessible(HWND bar, std::wstring name, ComRef<IAccessible> standard)
        : m_bar(bar), m_name(std::move(name)), m_standard(std::move(standard)) {}
    ProgressAccessible(const ProgressAccessible&) = delete;
    ProgressAccessible& operator=(const ProgressAccessible&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // Clients call the methods directly; nothing is offered to late binding.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        const HRESULT usable = CheckCall(child, name);
        if (FAILED(usable))
            return usable;
        return ReturnText(m_name, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        const HRESULT usable = CheckCall(child, value);
        if (FAILED(usable))
            return usable;
        PBRANGE range{};
        SendMessageW(m_bar, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
        const auto position = static_cast<int>(SendMessageW(m_bar, PBM_GETPOS, 0, 0));
        const std::string percent = FaceValueText(range.iLow, range.iHigh, position);
        return ReturnText(std::wstring(percent.begin(), percent.end()), value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        const HRESULT usable = CheckCall(child, role);
        if (FAILED(usable))
            return usable;
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_PROGRESSBAR;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        const HRESULT usable = CheckCall(child, state);
        if (FAILED(usable))
            return usable;
        state->vt = VT_I4;
        state->lVal = STATE_SYSTEM_READONLY | (IsWindowVisible(m_bar) ? 0 : STATE_SYSTEM_INVISIBLE) |
                      (IsWindowEnabled(m_bar) ? 0 : STATE_SYSTEM_UNAVAILABLE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height)
            return E_POINTER;
        const HRESULT usable = CheckCall(child, left);
        if (FAILED(usable))
            return usable;
        RECT client{};
        GetClientRect(m_bar, &client);
        MapWindowPoints(m_bar, nullptr, reinterpret_cast<POINT*>(&client), 2);
        *left = client.left;
        *top = client.top;
        *width = client.right - client.left;
        *height = client.bottom - client.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }

    // Where the bar is among the other objects of the window, and what it lacks, the system's client object knows.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return m_standard ? m_standard->get_accParent(parent) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return m_standard ? m_standard->get_accChild(child, object) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return m_standard ? m_standard->get_accDescription(child, text) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
        return m_standard ? m_standard->get_accHelp(child, text) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return m_standard ? m_standard->get_accHelpTopic(file, child, topic) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        return m_standard ? m_standard->get_accKeyboardShortcut(child, text) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return m_standard ? m_standard->get_accFocus(child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return m_standard ? m_standard->get_accSelection(children) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override {
        return m_standard ? m_standard->get_accDefaultAction(child, text) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return m_standard ? m_standard->accSelect(flags, child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return m_standard ? m_standard->accNavigate(direction, start, end) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return m_standard ? m_standard->accHitTest(x, y, child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return m_standard ? m_standard->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
    }
    // Name and value belong to the bar's owner; clients do not set them.
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~ProgressAccessible() = default;

    // The bar has no children: only the object itself may be asked about, and only while its window exists.
    HRESULT CheckCall(const VARIANT& child, const void* out) const {
        if (!out)
            return E_POINTER;
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return E_INVALIDARG;
        return IsWindow(m_bar) ? S_OK : CO_E_OBJNOTCONNECTED;
    }

    LONG m_references = 1;
    HWND m_bar;
    std::wstring m_name;
    ComRef<IAccessible> m_standard;
};
} // namespace

LRESULT AnswerProgressAccessible(HWND bar, WPARAM wParam, const std::wstring& name) {
    // oleacc.dll is no KnownDLL, so it comes from the system folder only (a file of its name beside the executable is
    // never loaded). It stays loaded for the life of the process, as the objects handed out through it may.
    static const auto lresultFromObject = SYSTEM_FUNCTION(L"oleacc.dll", LresultFromObject);
    static const auto createStandard = SYSTEM_FUNCTION(L"oleacc.dll", CreateStdAccessibleObject);
    if (!lresultFromObject)
        return 0;
    // The system's client object; without it the bar still tells its role, name, value, state and place.
    ComRef<IAccessible> standard;
    if (createStandard)
        createStandard(bar, OBJID_CLIENT, __uuidof(IAccessible), standard.Receive());
    const ComRef<IAccessible> accessible(new (std::nothrow) ProgressAccessible(bar, name, std::move(standard)));
    if (!accessible)
        return 0;
    // LresultFromObject takes its own reference for the client; a negative result is a failed HRESULT.
    const LRESULT result = lresultFromObject(__uuidof(IAccessible), wParam, accessible.Get());
    return result > 0 ? result : 0;
}
