#pragma once

// Identifiers shared by the resource script and the shell.
#define IDI_BTNCONFIG 101
