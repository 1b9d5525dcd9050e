#!/usr/bin/env python3
"""Publishes for the programs into a static tree that nginx or a CDN serves (see the
"Deploying" section of docs/server-protocol.md):

    publish_update.py release     --tree DIR --release FILES --version V --base-url URL [--key PEM] [--force]
                                  [--deltas N] [--no-compress]
    publish_update.py republish   --tree DIR --from OLD --version V [--key PEM] [--force]
    publish_update.py catalogues  --tree DIR --source DIR --base-url URL [--key PEM]
    publish_update.py keygen      --out FILE [--cng-out FILE]
    publish_update.py check-key   HEX[,HEX]

Without a command, the options of "release" ("--content" naming the tree) publish a release."""

import argparse
import sys

from kestrova_publish.catalogues import publish_catalogues
from kestrova_publish.release import publish_release, republish
from kestrova_publish.rules import PublishError
from kestrova_publish.signing import check_public_keys, keygen


def _release(args):
    if args.deltas < 0:
        raise PublishError("--deltas counts earlier publications: 0 or more")
    entries = publish_release(args.tree, args.release, args.version, args.base_url, args.key, args.force,
                              deltas=args.deltas, compress=not args.no_compress)
    signed = ", signed" if args.key else ""
    return f"published {len(entries)} files as version {args.version!r}{signed}"


def _republish(args):
    entries = republish(args.tree, args.old_version, args.version, args.key, args.force)
    signed = ", signed" if args.key else ""
    return f"published the {len(entries)} files of {args.old_version!r} as version {args.version!r}{signed}"


def _catalogues(args):
    codes = publish_catalogues(args.tree, args.source, args.base_url, args.key)
    signed = ", signed" if args.key else ""
    return f"published the catalogues: the default and those of {len(codes)} taxpayer code(s){signed}"


def _keygen(args):
    return keygen(args.out, args.cng_out)


def _check_key(args):
    check_public_keys(args.keys)
    return None


def _parser():
    parser = argparse.ArgumentParser(prog="publish_update.py", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    def command(name, run, help):
        sub = commands.add_parser(name, help=help, description=help)
        sub.set_defaults(run=run)
        return sub

    def tree_option(sub):
        sub.add_argument("--tree", "--content", required=True, help="the static tree the server serves")

    def signing_options(sub):
        sub.add_argument("--key", help="the maker's private key (PEM, from keygen): sign the release")
        sub.add_argument("--force", action="store_true",
                         help="publish a version that does not sort after the published one")

    release = command("release", _release, "Publish a flat folder of files as an update (/V, /U, /U.sig).")
    tree_option(release)
    release.add_argument("--release", required=True, help="folder holding the update's files (flat)")
    release.add_argument("--version", required=True, help="version text, stored byte for byte")
    release.add_argument("--base-url", required=True, help="the server address built into the programs")
    signing_options(release)
    release.add_argument("--deltas", type=int, default=3, metavar="N",
                         help="with --key: patches of each changed file from its versions in the last N "
                              "publications (default 3; 0: none)")
    release.add_argument("--no-compress", action="store_true",
                         help="with --key: do not offer each file as a zstd frame as well")

    again = command("republish", _republish, "Publish an earlier release's files again under a new version.")
    tree_option(again)
    again.add_argument("--from", dest="old_version", required=True, help="the version published earlier")
    again.add_argument("--version", required=True, help="the new version text")
    signing_options(again)

    catalogues = command("catalogues", _catalogues,
                         "Publish the catalogues and status texts per taxpayer code (/F, /D, /S, the pages).")
    tree_option(catalogues)
    catalogues.add_argument("--source", required=True, help="the folder of JSON files the maker edits")
    catalogues.add_argument("--base-url", required=True, help="the server address built into the programs")
    catalogues.add_argument("--key", help="the maker's private key (PEM, from keygen): sign every catalogue reply")

    key = command("keygen", _keygen, "Make a signing key; print its public half for KESTROVA_UPDATE_KEY.")
    key.add_argument("--out", required=True, help="the private key file (PEM) to create, outside the repository")
    key.add_argument("--cng-out", help="also write the key here as a CNG private key blob (for tests)")

    check = command("check-key", _check_key, "Check public keys (current[,next]) as a build takes them.")
    check.add_argument("keys")
    return parser


def main(argv=None):
    argv = sys.argv[1:] if argv is None else list(argv)
    if argv and argv[0].startswith("--") and argv[0] != "--help":
        argv.insert(0, "release")  # the form that came before the commands
    args = _parser().parse_args(argv)
    try:
        message = args.run(args)
    except PublishError as error:
        print(f"publish_update: {error}", file=sys.stderr)
        return 2
    if message:
        print(message)
    return 0


if __name__ == "__main__":
    sys.exit(main())
