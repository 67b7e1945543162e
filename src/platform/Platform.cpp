// The platform layer's sources are added beside this file, one per facility.
namespace quorvel::platform {
int layerVersion() {
    return 1;
}
} // namespace quorvel::platform
