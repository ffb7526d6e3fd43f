#!/usr/bin/env python3
"""The converter's noise at three update rates: configure, capture, analyse, and plot the noise
and its spectral density into a PNG.

    PYTHONPATH=build/python python3 python/examples/characterise.py            # simulated board
    python3 characterise.py --port /dev/parport0 -o noise.png                  # a real one

Without a display set MPLBACKEND=Agg. The simulated board gets a 1 mV input and its usual noise.
"""
import argparse

import matplotlib.pyplot as plt

import kx3105

RATES_HZ = (5.4, 20, 105)  # the board takes the filter word of the nearest rate it has


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", help="a printer-port device; default: the simulated board")
    parser.add_argument("--count", type=int, default=2048, help="codes per rate (2048)")
    parser.add_argument("-o", "--output", default="characterise.png", help="the PNG to write")
    args = parser.parse_args()
    opening = {"port": args.port} if args.port else {"sim_input": {0: 0.001}, "sim_seed": 1}

    figure, (noise_axes, density_axes) = plt.subplots(2, 1, figsize=(8, 8))
    print(f"{'rate (Hz)':>10} {'RMS (uV)':>9} {'p-p (uV)':>9} {'eff. bits':>9} "
          f"{'noise-free':>10} {'white (nV/rtHz)':>15}")
    with kx3105.Board(**opening) as board:
        for step, rate in enumerate(RATES_HZ):
            board.configure(channel="AIN1-AINCOM", range="2.56V", polarity="bipolar", rate=rate,
                            chop=True)
            run = board.capture(args.count)
            noise = kx3105.analyse(run)
            spectrum = kx3105.spectrum(run)
            label = f"{run.rate_hz:.2f} Hz"
            print(f"{run.rate_hz:10.2f} {noise['rms_volts'] * 1e6:9.3f} "
                  f"{noise['peak_to_peak_volts'] * 1e6:9.3f} "
                  f"{noise['effective_resolution_bits']:9.2f} {noise['noise_free_bits']:10.2f} "
                  f"{spectrum['white_nsd_nv_per_rthz']:15.1f}")
            # Each run about its mean, drawn 10 uV above the one before.
            microvolts = (run.volts - noise["mean_volts"]) * 1e6 + 10 * step
            noise_axes.plot(microvolts, lw=0.5, label=label)
            # DC left out of the log axis.
            density_axes.loglog(spectrum["frequency_hz"][1:], spectrum["nsd_nv_per_rthz"][1:],
                                lw=0.8, label=f"{label}, white {spectrum['white_nsd_nv_per_rthz']:.0f}")
        board_name = board.description.removeprefix("Board: ")

    noise_axes.set(title=f"Noise about the mean at three update rates ({board_name})",
                   xlabel="Read number", ylabel="uV (10 uV apart)", ylim=(-5, 30))
    density_axes.set(title="Noise spectral density (Welch, Hann)", xlabel="Frequency (Hz)",
                     ylabel="nV/\u221aHz")
    noise_axes.legend(loc="upper center", ncol=3, fontsize="small")
    density_axes.legend(loc="lower left", fontsize="small")
    for axes in (noise_axes, density_axes):
        axes.grid(True, which="both", alpha=0.3)
    figure.tight_layout()
    figure.savefig(args.output, dpi=100)
    print(f"Wrote {args.output}")


if __name__ == "__main__":
    main()
