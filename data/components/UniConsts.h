// Messages of the universal components and their provider layer.
#pragma once

namespace components {

inline constexpr const char* UniProviderUnit = "UniProvider";

// Provider registry
inline constexpr const char* SProviderNotDefined = "Provider is not defined";
inline constexpr const char* SInvalidProviderName = "%s is not a valid provider name";
inline constexpr const char* SProviderNotRegistered =
    "%s provider is not registered. You should add the %s unit to the uses clause of any unit in your "
    "project or place the %s component on the form.";
inline constexpr const char* SConnectionNotDefined = "Connection is not defined";
inline constexpr const char* SUnknownDataType = "Unknown data type";

// Provider-specific options
inline constexpr const char* SInvalidValue = "Invalid value: ";
inline constexpr const char* SForOption = " for option ";

// Provider-neutral SQL syntax
inline constexpr const char* SEmptyMacroOrFunctionName = "Empty macro or function name";
inline constexpr const char* SUnexpectedChar = "Unexpected character";
inline constexpr const char* SUnexpectedElse = "Unexpected {else}";
inline constexpr const char* SUnexpectedEndif = "Unexpected {endif}";
inline constexpr const char* SNotCompletedIF = "{if} statement not completed";
inline constexpr const char* SEmptyFunctionName = "Empty function name";
inline constexpr const char* SInvalidBracketCount = "Invalid bracket count in function call";
inline constexpr const char* SUnknownFunction = "Unknown function: %s";
inline constexpr const char* SWrongArgCnt = "Wrong argument count for function: %s";
inline constexpr const char* SWrongDate = "Invalid year-month-day string. The format is {date 'yyyy-mm-dd'}";
inline constexpr const char* SWrongTime = "Invalid hour-minute-second string. The format is {time 'hh:mm:ss'}";
inline constexpr const char* SWrongTimestamp =
    "Invalid timestamp string. The format is {timestamp 'yyyy-mm-dd hh:mm:ss'}";
inline constexpr const char* SCyclicConditions = "Cyclic macros conditions";
// A macro whose value leads back to itself would expand without end.
inline constexpr const char* SCyclicMacros = "Cyclic macros: %s";
// Each level of a macro chain costs stack: a chain deeper than this is refused, not followed.
inline constexpr int MaxMacroDepth = 128;
inline constexpr const char* SMacrosTooDeep = "Macros nested too deeply: %s";
inline constexpr const char* SMacroConditionsTooDeep = "Macro conditions nested too deeply";

}  // namespace components
