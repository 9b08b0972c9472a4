// The receipts report: selection loop, page headings, detail lines and totals.
#pragma once

#include <cstdint>
#include <string>

struct ReportParameters {
    std::string firstDateKey;      // packed date
    std::string lastDateKey;       // packed date
    std::string firstPropertyKey;  // 2-byte compact number
    std::string lastPropertyKey;
};
extern ReportParameters reportParameters;

struct ReportState {
    int16_t pageNumber = 0;
    double collectedTotal = 0;
    double pendingTotal = 0;
    int16_t readStatus = 0;
};
extern ReportState reportState;

void printReceiptsReport();
void printPageHeader();
void printReceiptLine();
void printPropertyTotals();
