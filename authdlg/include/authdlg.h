/* authdlg: the password prompt that keeper shows before it authenticates.
 *
 * Loaded by file name; call SetLangDllPath first (with the path of keeper's
 * language library), then SetNetWorkErrorStatus, SetControllerType and
 * OpenUserAuthDlg. Texts are UTF-16 (char16_t).
 */
#ifndef ZELT_AUTHDLG_H_
#define ZELT_AUTHDLG_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZELT_AUTHDLG_BUILD)
#define AUTHDLG_API __attribute__((visibility("default")))
#else
#define AUTHDLG_API
#endif

/* Keeps the language library's path (at most 259 characters) and a value
 * handed to each dialog. 0, or -100 for a null, empty or too long path
 * (the old path stays). */
AUTHDLG_API int32_t SetLangDllPath(const char16_t* path, int32_t value);

/* Asks for the password. On entry `buffer` holds the initial text (narrow,
 * the system code page, NUL-terminated, under 260 bytes). Results: 1 OK,
 * the password (at most 64 characters) written over the buffer as UTF-16
 * with its terminator; 2 Cancel, buffer unchanged; -100 null buffer;
 * -101 the language library cannot be loaded (a message says so); -102 no
 * language library path set; -1 the dialog cannot be shown. */
AUTHDLG_API int32_t OpenUserAuthDlg(unsigned char* buffer);

/* Each stores its byte and returns it. Controller type 1 allows 64
 * characters, any other 10. */
AUTHDLG_API uint8_t SetNetWorkErrorStatus(uint8_t status);
AUTHDLG_API uint8_t SetControllerType(uint8_t type);
AUTHDLG_API uint8_t SetMainDlgLaunchStatus(uint8_t status);

/* Identifies the last dialog closed with OK; 0 before the first. */
AUTHDLG_API uint32_t GetUserAuthDlgHandle(void);

typedef int32_t (*SetLangDllPathFn)(const char16_t*, int32_t);
typedef int32_t (*OpenUserAuthDlgFn)(unsigned char*);
typedef uint8_t (*SetByteFn)(uint8_t);
typedef uint32_t (*GetUserAuthDlgHandleFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* ZELT_AUTHDLG_H_ */
