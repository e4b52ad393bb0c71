#pragma once
// What the control library registers about itself and what hosts store: the four identifiers, the
// programmatic identifiers and the class's miscellaneous status. The identifiers were chosen once and
// never change, or hosts that stored them stop finding the control.
//
// The resource compiler reads this header too; it sees only the resource numbers and the version.

// The control library's version, as its version record and its assembly manifest state it.
#define QTV_CONTROL_VERSION_MAJOR 1
#define QTV_CONTROL_VERSION_MINOR 0
#define QTV_CONTROL_VERSION_BUILD 0
#define QTV_CONTROL_VERSION_REVISION 0

#define QTV_TYPE_LIBRARY_RESOURCE 1
#define QTV_TOOLBOX_BITMAP_RESOURCE 30000

#ifndef RC_INVOKED
#include <cstdint>

namespace qtv::control {

// A GUID as plain fields, in the platform's own layout.
struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// The type library QTVChecksum100: {67E91B2D-17F4-418F-8D50-228F6BD960FE}
inline constexpr Guid kTypeLibraryId = {
    0x67E91B2D, 0x17F4, 0x418F, {0x8D, 0x50, 0x22, 0x8F, 0x6B, 0xD9, 0x60, 0xFE}};
// The control class QTVChecksum: {9A683826-46E8-4242-9451-59DAAEF3F2B7}
inline constexpr Guid kClassId = {
    0x9A683826, 0x46E8, 0x4242, {0x94, 0x51, 0x59, 0xDA, 0xAE, 0xF3, 0xF2, 0xB7}};
// The default interface _QTVChecksum: {2F062EC2-5BD3-477B-AF58-46F0B3CCD64F}
inline constexpr Guid kInterfaceId = {
    0x2F062EC2, 0x5BD3, 0x477B, {0xAF, 0x58, 0x46, 0xF0, 0xB3, 0xCC, 0xD6, 0x4F}};
// The event interface __QTVChecksum: {4C78E060-1D11-4F46-BD13-20046A13D43B}
inline constexpr Guid kEventInterfaceId = {
    0x4C78E060, 0x1D11, 0x4F46, {0xBD, 0x13, 0x20, 0x04, 0x6A, 0x13, 0xD4, 0x3B}};

// The class has no versioned programmatic identifier, so both forms are the same name.
inline constexpr char16_t kProgId[] = u"QTVChecksum100.QTVChecksum";
inline constexpr char16_t kVersionIndependentProgId[] = u"QTVChecksum100.QTVChecksum";
inline constexpr char16_t kClassDescription[] = u"QTV Software Checksum OCX";
inline constexpr char16_t kThreadingModel[] = u"Apartment";

// Recompose on resize, can't link inside, inside-out, activate when visible, invisible at run time,
// set client site first.
inline constexpr std::uint32_t kMiscStatus = 0x20591;

// The system's proxy/stubs that carry the interfaces across apartments and processes, registered or
// named in an assembly manifest: the type library marshaller for the dual interface,
// {00020424-0000-0000-C000-000000000046}, and the dispatch marshaller for the event dispinterface,
// {00020420-0000-0000-C000-000000000046}, as the system's type library registration chooses them.
inline constexpr Guid kTypeLibraryMarshaller = {
    0x00020424, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kDispatchMarshaller = {
    0x00020420, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline constexpr int kTypeLibraryResource = QTV_TYPE_LIBRARY_RESOURCE;
inline constexpr int kToolboxBitmapResource = QTV_TOOLBOX_BITMAP_RESOURCE;

} // namespace qtv::control
#endif
