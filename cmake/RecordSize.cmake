# Writes the size in bytes of FILE into OUT: the client checks its updater against it.
file(SIZE "${FILE}" _size)
file(WRITE "${OUT}" "${_size}\n")
