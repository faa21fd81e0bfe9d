// The control descriptor: the host's record for each control, kept in the
// control window's user data and passed to the entry points.
//
// Word n is slot n of an array of uintptr_t: 32 bits in the Windows DLL, so the
// layout is the host's, and pointer-sized in 64-bit builds, where word 63 holds
// a window procedure. 16-bit word k is the low (k even) or high (k odd) half of
// word k / 2, as it lies in the 32-bit record.
#pragma once
#include <cstdint>

#include "host/win32.h"

constexpr int kDescriptorWords = 80;

// Descriptor kinds (the host's numbering of control types).
constexpr uint32_t kDescriptorList = 1;
constexpr uint32_t kDescriptorPushButton = 2;
constexpr uint32_t kDescriptorKind3 = 3;
constexpr uint32_t kDescriptorKind4 = 4;
constexpr uint32_t kDescriptorEditField = 6;
constexpr uint32_t kDescriptorListView = 7;
constexpr uint32_t kDescriptorCheckBox = 9;

// Word positions.
constexpr int kDescWordIdentifier = 0;
constexpr int kDescWordKind = 1;
constexpr int kDescWordChecked = 13;
constexpr int kDescWordCheckBoxCounter = 44;
constexpr int kDescWordEditCounter = 46;
constexpr int kDescWordPreviousProc = 63;
// 16-bit word positions.
constexpr int kDescHalfDialogItem = 6;
constexpr int kDescHalfCompanionKey = 7;         // kinds 2 and 4
constexpr int kDescHalfCompanionItem = 8;        // kinds 2 and 4
constexpr int kDescHalfListCompanionKey = 10;    // kind 7
constexpr int kDescHalfListCompanionItem = 11;   // kind 7
constexpr int kDescHalfPageIdentifier = 9;       // buttons that open a host page

// The value change counters take after the library has loaded a screen.
constexpr uint32_t kChangeCounterRefresh = 101;

inline uint32_t descriptor_word(const uintptr_t* d, int n) { return static_cast<uint32_t>(d[n]); }
inline void set_descriptor_word(uintptr_t* d, int n, uint32_t value) { d[n] = value; }
inline uint16_t descriptor_half(const uintptr_t* d, int k) {
  return static_cast<uint16_t>(static_cast<uint32_t>(d[k / 2]) >> (16 * (k % 2)));
}

inline void set_descriptor_half(uintptr_t* d, int k, uint16_t value) {
  const uint32_t shift = 16 * (k % 2);
  const uint32_t word = static_cast<uint32_t>(d[k / 2]);
  d[k / 2] = (word & ~(0xFFFFu << shift)) | static_cast<uint32_t>(value) << shift;
}

inline uint32_t descriptor_identifier(const uintptr_t* d) { return descriptor_word(d, kDescWordIdentifier); }
inline uint32_t descriptor_kind(const uintptr_t* d) { return descriptor_word(d, kDescWordKind); }

// The word that holds the module number, which depends on the kind; -1 for kinds without one.
constexpr int descriptor_module_word(uint32_t kind) {
  switch (kind) {
    case kDescriptorList: return 70;
    case kDescriptorPushButton: return 26;
    case kDescriptorKind3: return 45;
    case kDescriptorKind4: return 24;
    case kDescriptorEditField: return 47;
    case kDescriptorListView: return 71;
    case kDescriptorCheckBox: return 45;
    default: return -1;
  }
}

// The module number of a descriptor; 0 for a null descriptor or an unknown kind.
inline uint32_t descriptor_module(const uintptr_t* d) {
  if (d == nullptr) return 0;
  int word = descriptor_module_word(descriptor_kind(d));
  return word < 0 ? 0 : descriptor_word(d, word);
}

// The descriptor that the host keeps in a control window's user data.
inline uintptr_t* control_descriptor_of(HWND control) {
  return reinterpret_cast<uintptr_t*>(GetWindowLongPtrA(control, GWLP_USERDATA));
}

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(uintptr_t[kDescriptorWords]) == 320, "descriptor words are 32-bit");
#endif
