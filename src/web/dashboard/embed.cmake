# Writes a C++ source that holds the dashboard's files as byte arrays, so the program serves
# them from memory. Arrays rather than string literals: Chart.js is longer than the longest
# literal compilers must take. Run at configure time by src/CMakeLists.txt.
function(quorvane_embed_dashboard output html script chartjs)
    set(text "// Generated from the dashboard's files at configure time; do not edit.\n")
    string(APPEND text "#include \"web/DashboardFiles.h\"\n\n#include <array>\n\nnamespace quorvane {\n\nnamespace {\n\n")
    foreach(pair "Html|${html}" "Script|${script}" "ChartJs|${chartjs}")
        string(REPLACE "|" ";" parts "${pair}")
        list(GET parts 0 name)
        list(GET parts 1 file)
        file(READ "${file}" hex HEX)
        string(LENGTH "${hex}" digits)
        math(EXPR size "${digits} / 2")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
        string(APPEND text "constexpr char k${name}Bytes[${size}] = {${bytes}};\n"
                           "constexpr std::string_view k${name}(k${name}Bytes, sizeof k${name}Bytes);\n\n")
    endforeach()
    string(APPEND text "constexpr std::array kFiles = {\n"
        "    DashboardFile{\"/dashboard\", \"text/html; charset=utf-8\", kHtml},\n"
        "    DashboardFile{\"/dashboard/dashboard.js\", \"text/javascript; charset=utf-8\", kScript},\n"
        "    DashboardFile{\"/dashboard/chart.js\", \"text/javascript; charset=utf-8\", kChartJs},\n"
        "};\n\n} // namespace\n\n"
        "const DashboardFile* FindDashboardFile(std::string_view path)\n{\n"
        "    for (const DashboardFile& file : kFiles)\n"
        "        if (file.Path == path)\n"
        "            return &file;\n"
        "    return nullptr;\n}\n\n} // namespace quorvane\n")
    # Copied only when it changed, so a new configure rebuilds nothing.
    file(WRITE "${output}.new" "${text}")
    configure_file("${output}.new" "${output}" COPYONLY)
endfunction()
