"""What the Python checks of the programs' files share: the kit's images
made into a folder, and the verdict printed and returned."""
import os
import subprocess


def kit_images(make_images, work, suffix, *options):
    """Makes the kit's images (make_images OPTIONS WORK) and returns the names
    of those ending in `suffix`, sorted."""
    subprocess.run([make_images, *options, work], check=True)
    return sorted(name for name in os.listdir(work) if name.endswith(suffix))


def verdict(failures):
    """Prints each failure; the exit status for them."""
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0
