/* SPDX-License-Identifier: MIT */
/* Checks the version resource of each file named on the command line against the version of
 * quoril.h: the fixed file and product versions, the file type (a DLL or a program, from the
 * name), and the strings a file's properties show (ProductName "Quoril", FileVersion and
 * ProductVersion the version's text, OriginalFilename the file's own name, CompanyName and
 * LegalCopyright the authors, a FileDescription).
 * Prints one line for each file; exit status 0 when every file passed, 1 otherwise. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "quoril.h"

static char data[65536];

static const char* string_value(const char* block, const char* name) {
  char path[128];
  char* value = NULL;
  UINT length = 0;
  snprintf(path, sizeof path, "\\StringFileInfo\\%s\\%s", block, name);
  if (!VerQueryValueA(data, path, (void**)&value, &length) || length == 0) return "";
  return value;
}

/* NULL when the file's resource is right, else what is wrong with it. */
static const char* check(const char* file, char* problem, size_t size) {
  const char* base = file;
  const char* dot = strrchr(file, '.');
  const DWORD expected_ms = ((DWORD)QUORIL_VERSION_MAJOR << 16) | QUORIL_VERSION_MINOR;
  const DWORD expected_ls = (DWORD)QUORIL_VERSION_PATCH << 16;
  const DWORD expected_type = dot && _stricmp(dot, ".dll") == 0 ? VFT_DLL : VFT_APP;
  VS_FIXEDFILEINFO* fixed = NULL;
  struct {
    WORD language;
    WORD code_page;
  }* translation = NULL;
  UINT length = 0;
  char block[9];
  const char* checks[][2] = {{"OriginalFilename", NULL},
                             {"ProductName", "Quoril"},
                             {"FileVersion", QUORIL_VERSION_STRING},
                             {"ProductVersion", QUORIL_VERSION_STRING},
                             {"CompanyName", "The Quoril Authors"},
                             {"LegalCopyright", "Copyright (c) 2026 The Quoril Authors"}};
  size_t i;

  for (const char* p = file; *p; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  checks[0][1] = base;
  if (GetFileVersionInfoSizeA(file, NULL) > sizeof data ||
      !GetFileVersionInfoA(file, 0, sizeof data, data)) {
    snprintf(problem, size, "no version resource (error %lu)", (unsigned long)GetLastError());
    return problem;
  }
  if (!VerQueryValueA(data, "\\", (void**)&fixed, &length) || length < sizeof *fixed ||
      fixed->dwSignature != 0xFEEF04BD) {
    return "no fixed file information";
  }
  if (fixed->dwFileVersionMS != expected_ms || fixed->dwFileVersionLS != expected_ls ||
      fixed->dwProductVersionMS != expected_ms || fixed->dwProductVersionLS != expected_ls) {
    snprintf(problem, size, "file version %lu.%lu.%lu.%lu, product version %lu.%lu.%lu.%lu",
             fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xffff,
             fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xffff,
             fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xffff,
             fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xffff);
    return problem;
  }
  if (fixed->dwFileType != expected_type) return "the file type is not that of the file";
  if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", (void**)&translation, &length) ||
      length < sizeof *translation) {
    return "no translation";
  }
  snprintf(block, sizeof block, "%04x%04x", translation->language, translation->code_page);
  for (i = 0; i < sizeof checks / sizeof checks[0]; ++i) {
    const char* value = string_value(block, checks[i][0]);
    if (strcmp(value, checks[i][1]) != 0) {
      snprintf(problem, size, "%s is \"%s\", not \"%s\"", checks[i][0], value, checks[i][1]);
      return problem;
    }
  }
  if (string_value(block, "FileDescription")[0] == '\0') return "no FileDescription";
  return NULL;
}

int main(int argc, char** argv) {
  int failed = argc < 2;
  int i;
  for (i = 1; i < argc; ++i) {
    char problem[256];
    const char* wrong = check(argv[i], problem, sizeof problem);
    if (wrong) {
      printf("FAILED %s: %s\n", argv[i], wrong);
      failed = 1;
    } else {
      printf("ok %s: version %s\n", argv[i], QUORIL_VERSION_STRING);
    }
  }
  return failed;
}
