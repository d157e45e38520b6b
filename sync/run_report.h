#pragma once

#include <chrono>
#include <string>

#include "sync/product_import.h"

// What the operator is told on standard error: a line for each skipped
// product and the like, and the summary that ends every run. The result
// file keeps only the outcome.
void report_line(const std::u16string& text);

// "Resumo: <pages> páginas, <n> produtos inseridos, ... em <s> s".
std::u16string summary_text(const ProductImport::Counts& counts, std::chrono::steady_clock::duration elapsed);
