// SPDX-License-Identifier: Apache-2.0
// lumivo-baseline-memmem FILE KEY...: what one lookup costs at least: read the
// file whole and find each key with memmem. Prints each key's offset or -1.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    if (argc < 3) {
        fprintf(stderr, "usage: lumivo-baseline-memmem FILE KEY...\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0)
        return 2;
    char* bytes = static_cast<char*>(malloc(size_t(st.st_size) + 1));
    size_t used = 0;
    for (ssize_t got; (got = read(fd, bytes + used, size_t(st.st_size) + 1 - used)) > 0;)
        used += size_t(got);
    close(fd);
    for (int i = 2; i < argc; ++i) {
        const void* hit = memmem(bytes, used, argv[i], strlen(argv[i]));
        printf("%s %lld\n", argv[i],
               hit ? static_cast<long long>(static_cast<char*>(const_cast<void*>(hit)) - bytes)
                   : -1LL);
    }
    free(bytes);
    return 0;
}
