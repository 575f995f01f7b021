/* The program's version, for the version resource and the documentation. */
#pragma once

#define BOOT_VERSION_NUMBERS 1, 0, 0, 0
#define BOOT_VERSION_TEXT "1.0.0.0"
