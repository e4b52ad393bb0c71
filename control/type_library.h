#pragma once
// The type library QTVChecksum100 as data: what development tools and late-binding hosts read about the
// control. The Windows build turns this table into the library's embedded type library; the order of
// the entries is the order of the method table and of the dispatch identifiers.
#include <cstdint>
#include <span>
#include <string_view>

namespace qtv::control {

enum class ValueType { Nothing, Variant, Text, Integer32 };

struct Parameter {
  std::u16string_view name;
  ValueType type;
};

// A method of the default interface (parameters by value, the result through a last out-retval
// parameter) or an event (parameters by reference, in and out, and no result).
struct Member {
  std::u16string_view name;
  std::int32_t dispatchId;
  std::u16string_view helpString;
  std::span<const Parameter> parameters;
  ValueType result;
};

struct TypeDescription {
  std::u16string_view name;
  std::u16string_view helpString;
  std::uint16_t majorVersion;
  std::uint16_t minorVersion;
};

inline constexpr TypeDescription kTypeLibrary = {u"QTVChecksum100", u"QTV Checksum OCX 1.0.0", 2, 0};

// The three type descriptions, in the library's order.
inline constexpr TypeDescription kDefaultInterface = {u"_QTVChecksum", u"QTV Software Checksum OCX", 1, 0};
inline constexpr TypeDescription kControlClass = {u"QTVChecksum", u"QTV Software Checksum OCX", 1, 0};
inline constexpr TypeDescription kEventInterface = {u"__QTVChecksum", u"QTV Software Checksum OCX", 1, 0};

inline constexpr Parameter kStringParameters[] = {{u"TheString", ValueType::Text},
                                                  {u"Length", ValueType::Integer32}};
inline constexpr Parameter kFileParameters[] = {{u"InputFile", ValueType::Text}};
inline constexpr Parameter kErrorCodeParameters[] = {{u"ErrorNumber", ValueType::Integer32},
                                                     {u"ErrorDescription", ValueType::Text}};

inline constexpr Member kMethods[] = {
    {u"About", 0x60030002, u"This function will show an aboutbox of the control", {}, ValueType::Variant},
    {u"CRC32String", 0x60030003, u"To execute a CRC32 checksum on the string", kStringParameters,
     ValueType::Text},
    {u"MD5String", 0x60030004, u"To execute a MD5 checksum on the string", kStringParameters,
     ValueType::Text},
    {u"SHA1String", 0x60030005, u"To execute a SHA-1 checksum on the string", kStringParameters,
     ValueType::Text},
    {u"SHA256String", 0x60030006, u"To execute a SHA-256 checksum on the string", kStringParameters,
     ValueType::Text},
    {u"Adler32String", 0x60030007, u"To execute an Adler32 checksum on the string", kStringParameters,
     ValueType::Text},
    {u"CRC32File", 0x60030008, u"To execute a CRC32 checksum on the inputfile", kFileParameters,
     ValueType::Text},
    {u"MD5File", 0x60030009, u"To execute a MD5 checksum on the inputfile", kFileParameters, ValueType::Text},
    {u"SHA1File", 0x6003000A, u"To execute a SHA-1 checksum on the inputfile", kFileParameters,
     ValueType::Text},
    {u"SHA256File", 0x6003000B, u"To execute a SHA-256 checksum on the inputfile", kFileParameters,
     ValueType::Text},
    {u"Adler32File", 0x6003000C, u"To execute an Adler32 checksum on the inputfile", kFileParameters,
     ValueType::Text},
    // 0x6003000D belongs to no public member.
    {u"ControlName", 0x6003000E, u"This retrieve the name of the control", {}, ValueType::Text},
};

inline constexpr Member kErrorCodeEvent = {u"ErrorCode", 1,
                                           u"This event will return the errors generated in the control",
                                           kErrorCodeParameters, ValueType::Nothing};

} // namespace qtv::control
