// Identifiers and the dual interface of the add-in; they agree with Brevlet.idl, whose
// type library the test compares against this declaration slot by slot.
#pragma once
#include <windows.h>
#include <oaidl.h>

namespace brevlet {

inline constexpr CLSID kClsid = {0xB7C86DB5, 0xF0F7, 0x45E1, {0x88, 0xCB, 0x3A, 0x92, 0xCD, 0x81, 0xF0, 0xA3}};
inline constexpr IID kIid = {0xBA95964F, 0xCB76, 0x4DAF, {0x9B, 0x45, 0x62, 0x3C, 0x35, 0x14, 0x33, 0x13}};
// The type library's identifier doubles as the application identifier.
inline constexpr GUID kLibid = {0x19563580, 0x617C, 0x4189, {0x91, 0x4B, 0xB2, 0xD0, 0x44, 0x24, 0xC7, 0xA8}};

inline constexpr char kClsidText[] = "{B7C86DB5-F0F7-45E1-88CB-3A92CD81F0A3}";
inline constexpr char kAppIdText[] = "{19563580-617C-4189-914B-B2D04424C7A8}";
inline constexpr char kProgId[] = "Brevlet.QuarrowBrevlet";

}  // namespace brevlet

// The methods follow IDispatch's seven in this order: the type library's vtable offsets say so.
struct IQuarrowBrevlet : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Brevlet(VARIANT url) = 0;
    virtual HRESULT STDMETHODCALLTYPE BrevletWithLang(VARIANT url, VARIANT charset) = 0;
};
