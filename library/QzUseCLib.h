// QzUseCLib.h: the library's own string, memory, number and list helpers, and its
// Mersenne Twister generator. The rest of the library calls these by name.
//
// Strings are zero-terminated bytes. The Shift-JIS-aware functions treat a lead byte
// (0x81-0x9F, 0xE0-0xFC) and the byte after it as one character, whatever code page
// the system reports, and stop at the terminator even when it follows a lead byte.
// Comparisons answer only equal (0) or not (1). Conversions to integers truncate
// toward zero and give the most negative integer when the value does not fit.
//
// No state but the generator's; callers hold the library lock as usual.
#pragma once

#include <cstdarg>
#include <cstdint>

// ---- Shift-JIS --------------------------------------------------------------------
inline bool IsShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// 1 when the byte starts a double-byte character: with character-set index 2 (the
// Korean code page) every byte with bit 7 set, otherwise the Shift-JIS lead bytes.
// The text routines pass the code-page mode of WindowSystemState, fonts their own index.
inline int IsDoubleByteLeadChar(const char* byte, int charsetIndex) {
    const unsigned char b = static_cast<unsigned char>(*byte);
    return (charsetIndex == 2 ? (b & 0x80) != 0 : IsShiftJisLeadByte(b)) ? 1 : 0;
}

// The longest prefix of text, at most maxBytes long and never past its terminator,
// that does not end inside a double-byte character.
int GetShiftJisCutLength(const char* text, int maxBytes);

// ---- strings ------------------------------------------------------------------------
char* CopyString(char* dst, const char* src);                    // no length limit
char* AppendString(char* dst, const char* src);                  // no length limit
const char* FindString(const char* str, const char* sub);        // byte-wise; "" found in a non-empty str
const char* FindFirstChar(const char* str, int c);               // Shift-JIS-aware; null if none
const char* FindLastChar(const char* str, int c);                // Shift-JIS-aware; null if none
// Writable forms of the three searches, for callers that cut or edit at the place found.
inline char* FindString(char* str, const char* sub) {
    return const_cast<char*>(FindString(static_cast<const char*>(str), sub));
}
inline char* FindFirstChar(char* str, int c) {
    return const_cast<char*>(FindFirstChar(static_cast<const char*>(str), c));
}
inline char* FindLastChar(char* str, int c) {
    return const_cast<char*>(FindLastChar(static_cast<const char*>(str), c));
}
int CompareStrings(const char* a, const char* b);                // 0 equal, 1 different
int CompareStringsN(const char* a, const char* b, int n);        // n bytes, terminators included
char* UpperCaseString(char* str);                                // a-z only, Shift-JIS-aware
int ConvertStringToInt(const char* str);                         // -1 when no digit and no '-'
// As ConvertStringToInt finds its number, but without the wrap: the magnitude saturates
// at 2^40, far past any 32-bit value. False when no digit follows (a bare '-' included).
bool ReadSaturatedDecimal(const char* str, int64_t* value);
char* ConvertIntToString(int value, char* buffer, int base);     // base 2-36, lower case
int FormatString(char* buffer, const char* format, ...)  // sprintf, no limit; returns 0
    __attribute__((format(printf, 2, 3)));
int FormatStringV(char* buffer, const char* format, va_list args);  // returns the length

// Bounded forms for the library's own use wherever the buffer size is known. The result
// always fits in size bytes with its terminator; a text that does not fit is cut on a
// character boundary. They return the length written (FormatStringBounded: -1 and an
// empty buffer for a format error). size <= 0 writes nothing.
int CopyStringBounded(char* dst, int size, const char* src);
int AppendStringBounded(char* dst, int size, const char* src);
int FormatStringBounded(char* buffer, int size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int FormatStringBoundedV(char* buffer, int size, const char* format, va_list args);

// ---- memory -------------------------------------------------------------------------
void* FillBytes(void* dst, int value, int count);
void* CopyBytes(void* dst, const void* src, int count);
void* MoveBytes(void* dst, const void* src, int count);
int CompareBytes(const void* a, const void* b, int count);  // 0 equal (also count 0), 1 different

// ---- numbers ------------------------------------------------------------------------
void GetSinCos(float angle, float* sinOut, float* cosOut);
int GetAbsInt(int value);  // INT_MIN stays INT_MIN
float GetAbsFloat(float value);
int ConvertFloatToInt(float value);        // out of range or NaN: INT_MIN
int ConvertDoubleToInt(double value);      // out of range or NaN: INT_MIN
int64_t ConvertDoubleToInt64(double value);  // out of range or NaN: INT64_MIN
void ConvertDoubleRectToIntRect(const double in[4], int out[4]);
float GetSqrtFloat(float value);

// ---- lists ----------------------------------------------------------------------------
// A node embedded in the record it links. A list is two sentinels (handle -1, no data);
// the newest node sits right after the first.
struct HandleListNode {
    int32_t handle;
    void* data;
    HandleListNode* prev;
    HandleListNode* next;
};

int InitHandleList(HandleListNode* first, HandleListNode* last);
int InsertHandleListNode(HandleListNode* after, HandleListNode* node, int handle, void* data);
int RemoveHandleListNode(HandleListNode* node);  // the node's own links are left as they were

// ---- Mersenne Twister -------------------------------------------------------------------
constexpr int kMersenneTwisterWords = 624;

struct MersenneTwisterState {
    uint32_t state[kMersenneTwisterWords];
    uint32_t output[kMersenneTwisterWords];  // the tempered words of the last regeneration
    int32_t index;
    int32_t mmxFlag;
    int32_t initialised;
};

extern MersenneTwisterState g_mersenneTwister;

void SeedMersenneTwister(uint32_t seed);
int CheckCpuMMX();
void RegenerateMersenneTwister();  // the MMX row when the MMX flag is set, else the plain row
// The two rows; both must give the same words.
void RegenerateMersenneTwisterPlain();
void RegenerateMersenneTwisterMMX();
