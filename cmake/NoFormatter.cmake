# Stands in for the formatter when the one version the code is kept with is
# missing, so that the format check fails instead of passing unseen.
message(FATAL_ERROR "clang-format 14 is needed to format and check the code; found: ${FOUND}. "
                    "./dev installs it (Debian package clang-format-14).")
