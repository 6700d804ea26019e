# The command line dxf2plandrop in a Debian 12 image, for batch engines that
# spread a job list over machines (README: "Spreading a job list over
# machines"). Build and try it:
#
#   docker build -t dxf2plandrop .
#   docker run --rm -v "$PWD/examples:/data" dxf2plandrop convert -o /data/out /data/flange.dxf
#
# The window (Qt) and the tests are not built: the image holds the program
# alone, installed with `cmake --install`.

FROM debian:12 AS build
RUN apt-get update \
 && apt-get install -y --no-install-recommends \
      cmake ninja-build g++ libcli11-dev nlohmann-json3-dev libmimalloc-dev \
 && rm -rf /var/lib/apt/lists/*
WORKDIR /src
COPY . .
RUN cmake -S . -B /build -G Ninja -DCMAKE_BUILD_TYPE=Release -DDXF_TESTS=OFF \
 && cmake --build /build --target dxf2plandrop \
 && cmake --install /build --prefix /install --strip

FROM debian:12-slim
# mimalloc, which the program allocates through (the C++ runtime is linked in).
RUN apt-get update \
 && apt-get install -y --no-install-recommends libmimalloc2.0 \
 && rm -rf /var/lib/apt/lists/*
COPY --from=build /install/ /usr/local/
# Runs as a user of its own; the folders mounted for drawings and outputs
# must be readable and writable for it (or run with --user).
RUN useradd --system --no-create-home --uid 10001 dxf2plandrop
USER dxf2plandrop
WORKDIR /data
ENTRYPOINT ["dxf2plandrop"]
CMD ["--help"]
