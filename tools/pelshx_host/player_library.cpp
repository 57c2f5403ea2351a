#include "player_library.h"

#include "host_platform.h"

PlayerLibrary::~PlayerLibrary()
{
    if (library != nullptr) host_platform::CloseLibrary(library);
}

bool PlayerLibrary::Load(const std::string& path, std::string& error)
{
    library = host_platform::OpenLibrary(path, error);
    if (library == nullptr) return false;
    create = reinterpret_cast<decltype(create)>(host_platform::FindSymbol(library, "CreateSinglePlayerDll"));
    release = reinterpret_cast<decltype(release)>(host_platform::FindSymbol(library, "ReleaseSinglePlayerDll"));
    if (create == nullptr)
        error = "it has no export CreateSinglePlayerDll";
    else if (release == nullptr)
        error = "it has no export ReleaseSinglePlayerDll";
    return create != nullptr && release != nullptr;
}
