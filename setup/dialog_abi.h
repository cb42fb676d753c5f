// The C interface of setup's dialog library (libsetupdialog.so), which
// setup loads by name only when it shows a window: the program itself
// needs no GUI toolkit, so an unattended installation runs on machines
// without one.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZeltSetupDialog {
  const char* title;  // UTF-8, as every text here
  const char* prompt;
  const char* ok;
  const char* cancel;
  const char* const* items;  // in the order the list shows them
  uint32_t item_count;
  int32_t preselected;  // index into items, -1 for none
} ZeltSetupDialog;

// Shows the language dialog and waits. 1: OK, the selected text (empty
// when none) in chosen, cut to chosen_size - 1 bytes at a character
// boundary; 0: Cancel or closed; -1: no display to show it on.
typedef int (*ZeltSetupChooseLanguageFn)(const ZeltSetupDialog* dialog,
                                         char* chosen, uint32_t chosen_size);
// Tells the user that the installation did not succeed. 0, or -1 when
// there is no display.
typedef int (*ZeltSetupShowFailureFn)(const char* title, const char* text);

#define ZELT_SETUP_CHOOSE_LANGUAGE_SYMBOL "ZeltSetupChooseLanguage"
#define ZELT_SETUP_SHOW_FAILURE_SYMBOL "ZeltSetupShowFailure"

#ifdef __cplusplus
}
#endif
