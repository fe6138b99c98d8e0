# SPDX-License-Identifier: Apache-2.0
# Sourced by the tests that install or package the build. `cmake --install` and
# cpack write install_manifest.txt into the build tree they are given, so a test
# that used the build folder would change it. private_tree makes a stand-in tree
# in a folder of the test's own: its install script is the build's own, with the
# manifest written there instead, and its CPack configuration installs through
# it. Everything else is read from the build folder, never written.
#
# private_tree BUILD DIR: makes the tree DIR/tree (cmake --install DIR/tree,
# cpack --config DIR/tree/CPackConfig.cmake).
private_tree() {
    mkdir -p "$2/src" || return 1
    # cpack first builds the tree's preinstall target: here a project with no
    # targets, which builds nothing.
    printf 'cmake_minimum_required(VERSION 3.25)\nproject(private_tree NONE)\ninstall(CODE "")\n' \
        >"$2/src/CMakeLists.txt"
    cmake -S "$2/src" -B "$2/tree" >"$2/configure.txt" 2>&1 ||
        { cat "$2/configure.txt"; echo "private_tree: cannot configure $2/tree" >&2; return 1; }
    OLD=$1 NEW=$2/tree perl -pe 's/^(\s*file\(WRITE ")\Q$ENV{OLD}\E\//$1$ENV{NEW}\//' \
        "$1/cmake_install.cmake" >"$2/tree/cmake_install.cmake"
    OLD=$1 NEW=$2/tree perl -pe \
        's/^set\(CPACK_INSTALL_CMAKE_PROJECTS "\Q$ENV{OLD}\E;/set(CPACK_INSTALL_CMAKE_PROJECTS "$ENV{NEW};/;
         s/^set\(CPACK_OUTPUT_CONFIG_FILE "\Q$ENV{OLD}\E\//set(CPACK_OUTPUT_CONFIG_FILE "$ENV{NEW}\//' \
        "$1/CPackConfig.cmake" >"$2/tree/CPackConfig.cmake"
    # Both must now point here, or a later step would write the build folder.
    if grep -qF "file(WRITE \"$1/" "$2/tree/cmake_install.cmake" ||
        ! grep -qF "file(WRITE \"$2/tree/" "$2/tree/cmake_install.cmake" ||
        ! grep -qF "set(CPACK_INSTALL_CMAKE_PROJECTS \"$2/tree;" "$2/tree/CPackConfig.cmake"; then
        echo "private_tree: cannot point the install and package steps at $2/tree" >&2
        return 1
    fi
}
