#!/usr/bin/env python3
"""Makes the release a Windows user downloads, laid out as the maker's site
holds it, so that the folder can be put on the site as it is:

  OUT/UpdateFile/Plexiscrub_Up<digits>.zip    the programs, help, README.txt
  OUT/DownLoadHtml/UpdateFilePage.html        the update page the about box reads

The archive is reproducible: fixed entry order, one fixed time stamp, fixed
attributes, so the same inputs give the same bytes (and the same SHA-256 on
the page).
"""
import argparse
import hashlib
import html
import os
import re
import sys
import time
import zipfile

# What the about box looks for on the site; these must stay as the program's
# about box has them (its update name and folders, the default page name).
UPDATE_NAME = "Plexiscrub_Up"
PAGE_FOLDER = "DownLoadHtml"
PAGE_NAME = "UpdateFilePage.html"
ARCHIVE_FOLDER = "UpdateFile"
# The folder the archive unpacks into; deleting it uninstalls the program.
TOP_FOLDER = "Plexiscrub"

README_TEXT = """\
プレキシスクラブ {version}
{rule}

プレキシスクラブは、ハードディスク・SSD・USB メモリなどのドライブを丸ごと
上書きして、記録されていたデータを復元できないように消去するソフトです。

・消去の方法は 3 種類です（ゼロ／0xFF の後にゼロ／乱数・0xFF・ゼロ）。
・消去の後に全セクタを読み返し、ゼロだけが残っていることを確かめられます。
・中断した消去は、後から続きを行えます。
・セクタの内容を 16 進数や文字で表示できます（読み取りのみ）。
・Windows が入っているドライブは消去できません。

消去したデータは元に戻せません。消去するドライブをよく確かめてから
操作して下さい。


■ 管理者権限について

ドライブへ直接書き込むため、管理者権限が必要です。plexiscrub.exe は
起動すると管理者として実行することを求めます（ユーザー アカウント制御の
確認画面が表示されます）。管理者権限がないとドライブを消去できません。


■ 使い方

zip ファイルを好きな場所に展開し、{top} フォルダーの plexiscrub.exe を
実行して下さい。インストーラーはありません。詳しい使い方は Help フォルダーの
Plexiscrub.htm（ツールバーのヘルプ ボタンからも開けます）をご覧下さい。


■ アンインストール

{top} フォルダーを丸ごと削除して下さい。これでアンインストールは完了です。
デスクトップにショートカットを作った場合は、それも削除して下さい。
設定はレジストリの HKEY_CURRENT_USER\\Software\\Ｑ＆Ｚ\\プレキシスクラブ に
残ります。不要であれば削除して構いません。


■ ファイル

  plexiscrub.exe        プレキシスクラブ本体
  plexiscrub-cli.exe    コマンド プロンプトで使う版（plexiscrub-cli --help）
  Help\\Plexiscrub.htm   ヘルプ
  README.txt            このファイル


Ｑ＆Ｚ
"""

PAGE_TEXT = """\
<!DOCTYPE html>
<html lang="ja">
<head>
<meta charset="utf-8">
<title>プレキシスクラブ 更新ファイル</title>
</head>
<body>
<h1>プレキシスクラブ {version}</h1>
<p>最新版: <a href="../{folder}/{archive}">{archive}</a> ({size} バイト)</p>
<p>ダウンロードしたファイルの SHA-256:</p>
<pre>{digest_line}</pre>
</body>
</html>
"""


def version_digits(version):
    """1.1.0.2 -> 1102; the update check reads four characters."""
    if not re.fullmatch(r"[0-9]\.[0-9]\.[0-9]\.[0-9]", version):
        raise ValueError(f"version {version!r} is not four single digits such as 1.1.0.2")
    return version.replace(".", "")


def windows_text(text):
    """UTF-8 with a byte-order mark and CRLF line ends, as Notepad reads best."""
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def zip_time(epoch):
    # Zip time stamps start in 1980 and have no time zone; UTC keeps them
    # the same wherever the release is made.
    t = time.gmtime(max(epoch, 315532800))
    return (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec - t.tm_sec % 2)


def write_archive(path, entries, stamp):
    """entries: (name inside the archive, bytes), written in this order."""
    tmp = path + ".part"
    with zipfile.ZipFile(tmp, "w") as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS attributes: none set
            info.external_attr = 0
            archive.writestr(info, data, compresslevel=9)
    os.replace(tmp, path)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True, help="four digits with dots, e.g. 1.1.0.2")
    parser.add_argument("--program", required=True, help="plexiscrub.exe")
    parser.add_argument("--cli", required=True, help="plexiscrub-cli.exe")
    parser.add_argument("--help-page", required=True, help="Plexiscrub.htm")
    parser.add_argument("--out", required=True, help="release folder (the site's root)")
    parser.add_argument("--epoch", type=int, required=True, help="time stamp of every entry, seconds since 1970")
    args = parser.parse_args(argv)

    try:
        digits = version_digits(args.version)
    except ValueError as error:
        print(f"make_release: {error}", file=sys.stderr)
        return 2
    for given in (args.program, args.cli, args.help_page):
        if not os.path.isfile(given):
            print(f"make_release: {given} is missing; build the Windows programs first", file=sys.stderr)
            return 1

    archive_name = f"{UPDATE_NAME}{digits}.zip"
    archive_dir = os.path.join(args.out, ARCHIVE_FOLDER)
    page_dir = os.path.join(args.out, PAGE_FOLDER)
    os.makedirs(archive_dir, exist_ok=True)
    os.makedirs(page_dir, exist_ok=True)
    # One archive per release folder: an older one left here would sit on
    # the site beside a page that no longer names it.
    for old in os.listdir(archive_dir):
        if old.startswith(UPDATE_NAME) and old.endswith(".zip"):
            os.remove(os.path.join(archive_dir, old))

    title = f"プレキシスクラブ {args.version}"
    readme = README_TEXT.format(version=args.version, rule="=" * (len(title) + 8), top=TOP_FOLDER)
    entries = [
        (f"{TOP_FOLDER}/plexiscrub.exe", read(args.program)),
        (f"{TOP_FOLDER}/plexiscrub-cli.exe", read(args.cli)),
        (f"{TOP_FOLDER}/Help/Plexiscrub.htm", read(args.help_page)),
        (f"{TOP_FOLDER}/README.txt", windows_text(readme)),
    ]
    archive_path = os.path.join(archive_dir, archive_name)
    write_archive(archive_path, entries, zip_time(args.epoch))

    data = read(archive_path)
    digest = hashlib.sha256(data).hexdigest()
    # The about box takes the first name starting with the update name as
    # the archive, and checks the download against the line in the form
    # `sha256sum --tag` prints.
    page = PAGE_TEXT.format(version=html.escape(args.version), folder=ARCHIVE_FOLDER,
                            archive=archive_name, size=len(data),
                            digest_line=f"SHA256 ({archive_name}) = {digest}")
    page_path = os.path.join(page_dir, PAGE_NAME)
    with open(page_path + ".part", "wb") as f:
        f.write(page.encode("utf-8"))
    os.replace(page_path + ".part", page_path)

    print(archive_path)
    print(page_path)
    print(f"SHA256 ({archive_name}) = {digest}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
