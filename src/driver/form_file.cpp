#include "driver/form_file.h"

FormTables formTables;

std::string loadForm(std::string_view) {
    formTables = FormTables{};
    return formTables.loadError;
}
