# Writes the desktop entry at install time, when the installed path of the executable
# is known. Run by `cmake --install` with PEMBY_ENTRY_IN, PEMBY_ENTRY_OUT and
# PEMBY_BINDIR set.
#
# The Exec line quotes the path as desktop entries want it: inside the double quotes a
# '"', '`', '$' or '\' takes a backslash, and then every backslash of the line is
# doubled, because the value is read as an escaped string before it is split into
# arguments. A '%' is doubled so that it is not taken for a field code. So a prefix
# like "/opt/my $apps" works as it stands.
set(bindir "${PEMBY_BINDIR}")
if(NOT IS_ABSOLUTE "${bindir}")
    set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
endif()
set(path "${bindir}/VodarAzezaza")

string(REPLACE "\\" "\\\\" quoted "${path}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
set(PEMBY_EXEC "\"${quoted}\"")

configure_file("${PEMBY_ENTRY_IN}" "${PEMBY_ENTRY_OUT}" @ONLY)
