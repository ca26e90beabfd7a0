/* SPDX-License-Identifier: MIT */
/* A host of the installed library, built once through pkg-config and once through CMake's
   package: it includes the installed header, links libquoril and calls exports whose answers
   hold on any machine. Exit status 0 when they all do. */
#include <stdio.h>
#include <string.h>

#include <quoril.h>

int main(void) {
  int failed = 0;
  char vendor[5] = "zzzz";
  int cpu;
  int adapter;

  Test();
  /* The empty text is in every brand. */
  cpu = fnVoIsCPU("");
  if (cpu != 1) failed = 1;
  /* No machine has this many display adapters; the buffer is emptied all the same. */
  if (fnGetSVID(2147483647, vendor) != 0 || vendor[0] != '\0') failed = 1;
  /* The first adapter, where there is one, has an empty or a four-character vendor. */
  adapter = fnGetSVID(0, vendor);
  if (adapter != 0 && adapter != 1) failed = 1;
  if (adapter == 1 && strlen(vendor) != 0 && strlen(vendor) != 4) failed = 1;

  printf("quoril %s: fnVoIsCPU(\"\")=%d fnGetSVID(0)=%d \"%s\"\n", QUORIL_VERSION_STRING, cpu,
         adapter, adapter == 1 ? vendor : "");
  return failed;
}
