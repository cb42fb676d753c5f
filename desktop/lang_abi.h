/* What a language library exports.
 *
 * keeper and finder show no text of their own: every text comes from a
 * language library, a shared object loaded by name, one per language
 * ("keeperlang_en", "keeperlang_de", "finderlang_en", ...). A library
 * exports its string table by number (UTF-8, sorted by number) and its
 * pictures by number (PNG files; an animation is a strip of square frames
 * side by side).
 */
#ifndef ZELT_DESKTOP_LANG_ABI_H_
#define ZELT_DESKTOP_LANG_ABI_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZeltLangString {
  uint32_t id;
  const char* text; /* UTF-8, NUL-terminated */
} ZeltLangString;

/* The language in the Windows numbering: 1033 U.S. English, 1031 German. */
typedef uint32_t (*ZeltLangIdFn)(void);
/* The table and its length; entries sorted by id, each id once. */
typedef const ZeltLangString* (*ZeltLangStringsFn)(uint32_t* count);
/* A picture's bytes, or null (and *size 0) for an unknown number. */
typedef const unsigned char* (*ZeltLangPictureFn)(uint32_t id,
                                                 uint32_t* size);

#define ZELT_LANG_ID_SYMBOL "ZeltLangId"
#define ZELT_LANG_STRINGS_SYMBOL "ZeltLangStrings"
#define ZELT_LANG_PICTURE_SYMBOL "ZeltLangPicture"

#ifdef __cplusplus
}
#endif

#endif /* ZELT_DESKTOP_LANG_ABI_H_ */
