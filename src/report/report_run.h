// One run of the receipts report, shared by the module's main loop and the batch
// command of zelutil, so that both open the same files, read the parameters the
// same way and write the same print file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Opens the owners, properties, units and receipts files under rootDir with their
// record buffers, in that order. The status is that of the last open; a file that
// can be neither opened nor created ends the program through the data layer.
void openReportDataFiles(int16_t& status);

// Tries each of the four files the way openReportDataFiles will, without the data
// layer's fatal path: a missing file is created from its dictionary, an existing
// one is opened and closed again. Returns a line per file that cannot be opened
// (its name as openReportDataFiles passes it and the reason), or "" when all can.
// A file locked by another program counts as openable: the open waits for it.
std::string checkReportDataFiles();

// Packs the four values of the parameter panel into reportParameters, as typed:
// the dates as typed dates, the codes with "0" in front. The parameters are
// stored whatever the outcome. True when the ranges are in order (first date not
// after the last, first code not greater than the last).
bool packReportParameters(std::string_view firstDate, std::string_view lastDate, std::string_view firstCode,
                          std::string_view lastCode);

// Writes the report for reportParameters into the print file for outputDevice,
// with amounts in the print currency. False when the print file could not be
// created or written completely (a full disk), so the caller does not hand a half
// file to the print program.
bool runReceiptsReportToPrintFile();
