#pragma once

// Hands freed heap memory back to the system, as far as it can. Never fails.
void trim_working_set() noexcept;
